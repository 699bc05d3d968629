#include "library/schema.h"

namespace {

// Version 1: runs, records and what they hold, documents, page texts, the full-text
// indexes, and the documented view `patents`. Lists are JSON arrays of strings, dates
// YYYY-MM-DD ('' when unknown).
const char kVersion1[] = R"SQL(
CREATE TABLE runs(
  id INTEGER PRIMARY KEY,
  kind TEXT NOT NULL CHECK (kind IN ('search', 'download', 'import', 'watch')),
  source TEXT NOT NULL DEFAULT '',
  query TEXT NOT NULL DEFAULT '',
  started TEXT NOT NULL,
  ended TEXT,
  found INTEGER,
  records INTEGER NOT NULL DEFAULT 0,
  documents INTEGER NOT NULL DEFAULT 0,
  failures INTEGER NOT NULL DEFAULT 0,
  outcome TEXT NOT NULL DEFAULT ''
);

CREATE TABLE records(
  id INTEGER PRIMARY KEY,
  application TEXT NOT NULL UNIQUE,
  application_original TEXT NOT NULL DEFAULT '',
  patent_type TEXT NOT NULL DEFAULT '',
  title TEXT NOT NULL DEFAULT '',
  title_en TEXT NOT NULL DEFAULT '',
  abstract TEXT NOT NULL DEFAULT '',
  abstract_en TEXT NOT NULL DEFAULT '',
  applicants TEXT NOT NULL DEFAULT '[]',
  applicants_latin TEXT NOT NULL DEFAULT '[]',
  inventors TEXT NOT NULL DEFAULT '[]',
  application_date TEXT NOT NULL DEFAULT '',
  publication_date TEXT NOT NULL DEFAULT '',
  grant_date TEXT NOT NULL DEFAULT '',
  priorities TEXT NOT NULL DEFAULT '[]',
  ipc TEXT NOT NULL DEFAULT '[]',
  cpc TEXT NOT NULL DEFAULT '[]',
  family_id TEXT NOT NULL DEFAULT '',
  cited_count INTEGER,
  legal_status TEXT NOT NULL DEFAULT '',
  legal_status_date TEXT NOT NULL DEFAULT '',
  first_claim TEXT NOT NULL DEFAULT '',
  source TEXT NOT NULL DEFAULT '',
  expiry_estimate TEXT NOT NULL DEFAULT '',
  first_met TEXT NOT NULL,
  updated TEXT NOT NULL
);

CREATE TABLE publications(
  record_id INTEGER NOT NULL REFERENCES records(id) ON DELETE CASCADE,
  number TEXT NOT NULL,
  date TEXT NOT NULL DEFAULT '',
  PRIMARY KEY (record_id, number)
) WITHOUT ROWID;
CREATE INDEX publications_number ON publications(number);

CREATE TABLE legal_events(
  record_id INTEGER NOT NULL REFERENCES records(id) ON DELETE CASCADE,
  code TEXT NOT NULL,
  date TEXT NOT NULL DEFAULT '',
  description TEXT NOT NULL DEFAULT '',
  PRIMARY KEY (record_id, code, date, description)
) WITHOUT ROWID;

CREATE TABLE run_records(
  run_id INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,
  record_id INTEGER NOT NULL REFERENCES records(id) ON DELETE CASCADE,
  PRIMARY KEY (run_id, record_id)
) WITHOUT ROWID;
CREATE INDEX run_records_record ON run_records(record_id);

CREATE TABLE documents(
  id INTEGER PRIMARY KEY,
  record_id INTEGER NOT NULL REFERENCES records(id) ON DELETE CASCADE,
  publication TEXT NOT NULL DEFAULT '',
  path TEXT NOT NULL UNIQUE,
  pages INTEGER NOT NULL DEFAULT 0,
  sections TEXT NOT NULL DEFAULT '[]',
  has_text_layer INTEGER NOT NULL DEFAULT 0,
  run_id INTEGER REFERENCES runs(id) ON DELETE SET NULL,
  updated TEXT NOT NULL
);
CREATE INDEX documents_record ON documents(record_id);

-- id: the document's id times 100000 plus the page.
CREATE TABLE page_texts(
  id INTEGER PRIMARY KEY,
  document_id INTEGER NOT NULL REFERENCES documents(id) ON DELETE CASCADE,
  page INTEGER NOT NULL,
  text TEXT NOT NULL,
  UNIQUE (document_id, page)
);

-- The searchable text of a record: its lists joined as the view joins them.
CREATE VIEW record_text AS SELECT id, title, title_en, abstract, abstract_en,
  (SELECT group_concat(value, '; ') FROM json_each(records.applicants)) AS applicants,
  (SELECT group_concat(value, '; ') FROM json_each(records.inventors)) AS inventors,
  first_claim
FROM records;

CREATE VIRTUAL TABLE record_index USING fts5(title, title_en, abstract, abstract_en, applicants, inventors,
  first_claim, content='record_text', content_rowid='id', tokenize='trigram');
-- A word in a title counts for more than one in an abstract or a page.
INSERT INTO record_index(record_index, rank) VALUES('rank', 'bm25(8.0, 8.0, 2.0, 2.0, 4.0, 4.0, 1.0)');
CREATE VIRTUAL TABLE page_index USING fts5(text, content='page_texts', content_rowid='id', tokenize='trigram');

CREATE TRIGGER records_indexed AFTER INSERT ON records BEGIN
  INSERT INTO record_index(rowid, title, title_en, abstract, abstract_en, applicants, inventors, first_claim)
    SELECT id, title, title_en, abstract, abstract_en, applicants, inventors, first_claim
    FROM record_text WHERE id = new.id;
END;
CREATE TRIGGER records_unindexed AFTER DELETE ON records BEGIN
  INSERT INTO record_index(record_index, rowid, title, title_en, abstract, abstract_en, applicants, inventors,
    first_claim) VALUES('delete', old.id, old.title, old.title_en, old.abstract, old.abstract_en,
    (SELECT group_concat(value, '; ') FROM json_each(old.applicants)),
    (SELECT group_concat(value, '; ') FROM json_each(old.inventors)), old.first_claim);
END;
CREATE TRIGGER records_reindexed AFTER UPDATE OF title, title_en, abstract, abstract_en, applicants, inventors,
  first_claim ON records BEGIN
  INSERT INTO record_index(record_index, rowid, title, title_en, abstract, abstract_en, applicants, inventors,
    first_claim) VALUES('delete', old.id, old.title, old.title_en, old.abstract, old.abstract_en,
    (SELECT group_concat(value, '; ') FROM json_each(old.applicants)),
    (SELECT group_concat(value, '; ') FROM json_each(old.inventors)), old.first_claim);
  INSERT INTO record_index(rowid, title, title_en, abstract, abstract_en, applicants, inventors, first_claim)
    SELECT id, title, title_en, abstract, abstract_en, applicants, inventors, first_claim
    FROM record_text WHERE id = new.id;
END;

CREATE TRIGGER page_texts_indexed AFTER INSERT ON page_texts BEGIN
  INSERT INTO page_index(rowid, text) VALUES (new.id, new.text);
END;
CREATE TRIGGER page_texts_unindexed AFTER DELETE ON page_texts BEGIN
  INSERT INTO page_index(page_index, rowid, text) VALUES('delete', old.id, old.text);
END;
CREATE TRIGGER page_texts_reindexed AFTER UPDATE OF text ON page_texts BEGIN
  INSERT INTO page_index(page_index, rowid, text) VALUES('delete', old.id, old.text);
  INSERT INTO page_index(rowid, text) VALUES (new.id, new.text);
END;

-- One row per application for the user's own tools: lists joined by '; ', dates
-- YYYY-MM-DD, NULL where nothing is known, pdf relative to the data root.
CREATE VIEW patents AS SELECT
  r.application AS application,
  (SELECT group_concat(number, '; ') FROM (SELECT number FROM publications p WHERE p.record_id = r.id
     ORDER BY p.date = '', p.date, p.number)) AS publications,
  NULLIF(r.title, '') AS title,
  NULLIF(r.title_en, '') AS title_en,
  (SELECT group_concat(value, '; ') FROM json_each(r.applicants)) AS applicants,
  (SELECT group_concat(value, '; ') FROM json_each(r.inventors)) AS inventors,
  NULLIF(r.application_date, '') AS application_date,
  NULLIF(r.publication_date, '') AS publication_date,
  NULLIF(r.grant_date, '') AS grant_date,
  (SELECT group_concat(value, '; ') FROM json_each(r.ipc)) AS ipc,
  (SELECT group_concat(value, '; ') FROM json_each(r.cpc)) AS cpc,
  NULLIF(r.legal_status, '') AS legal_status,
  NULLIF(r.family_id, '') AS family_id,
  (SELECT group_concat(path, '; ') FROM (SELECT path FROM documents d WHERE d.record_id = r.id
     ORDER BY d.path)) AS pdf
FROM records r;
)SQL";

// Version 2: watches, saved searches that say what is new. A watch keeps its search as the
// argument list of `varnolt-cli search` (JSON, UTF-8), read by that command's own parser at
// every run; what it has seen of each application (its publications, its legal state and
// latest event as the legal status names them); and each of its runs beside the run's row
// in `runs` (kind 'watch'). searched_through: the source's day of the last run that read
// every hit, from which the next run's search is narrowed.
const char kVersion2[] = R"SQL(
CREATE TABLE watches(
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL UNIQUE,
  search TEXT NOT NULL,
  download INTEGER NOT NULL DEFAULT 0,
  document TEXT NOT NULL DEFAULT 'grant' CHECK (document IN ('grant', 'application', 'both')),
  ocr INTEGER NOT NULL DEFAULT 0,
  legal INTEGER NOT NULL DEFAULT 0,
  created TEXT NOT NULL,
  searched_through TEXT NOT NULL DEFAULT '',
  read_run_id INTEGER NOT NULL DEFAULT 0
);

CREATE TABLE watch_seen(
  watch_id INTEGER NOT NULL REFERENCES watches(id) ON DELETE CASCADE,
  application TEXT NOT NULL,
  publications TEXT NOT NULL DEFAULT '[]',
  legal_state TEXT NOT NULL DEFAULT '',
  legal_event TEXT NOT NULL DEFAULT '',
  first_run_id INTEGER NOT NULL,
  updated TEXT NOT NULL,
  PRIMARY KEY (watch_id, application)
) WITHOUT ROWID;

CREATE TABLE watch_runs(
  run_id INTEGER PRIMARY KEY REFERENCES runs(id) ON DELETE CASCADE,
  watch_id INTEGER NOT NULL REFERENCES watches(id) ON DELETE CASCADE,
  searched_from TEXT NOT NULL DEFAULT '',
  new_count INTEGER NOT NULL DEFAULT 0,
  changed_count INTEGER NOT NULL DEFAULT 0,
  report TEXT NOT NULL DEFAULT ''
);
CREATE INDEX watch_runs_watch ON watch_runs(watch_id);
)SQL";

}  // namespace

const std::vector<std::string>& LibraryMigrations() {
  static const std::vector<std::string> migrations = {kVersion1, kVersion2};
  return migrations;
}
