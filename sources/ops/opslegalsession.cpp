// The legal look-ups of known applications (a watch's), on a connection of their own.
#include <memory>

#include "base/gbk.h"
#include "http/httpclient.h"
#include "sources/opsaccount.h"
#include "sources/ops/opsclient.h"
#include "sources/ops/opslegal.h"
#include "sources/ops/opsnumbers.h"
#include "sources/ops/opspaths.h"
#include "sources/ops/opsreplies.h"
#include "sources/ops/opstexts.h"
#include "sources/source.h"

namespace {

const char kXml[] = "application/xml";

class TOpsLegalSession : public TLegalSession {
 public:
  explicit TOpsLegalSession(TProgress progress) {
    std::optional<TOpsCredentials> credentials = ReadOpsCredentials();
    if (!credentials) throw EOpsNoCredentials(MissingCredentialsMessage());
    connection_ = std::make_unique<TOpsConnection>(OpsHost(), *credentials, std::move(progress));
  }

  TLegalLookup Look(const std::string& application, const std::string& publication) override {
    TOpsNumber number;
    std::string reason;
    if (!ReadOpsNumber(publication, number, reason) || number.form != TOpsNumber::TForm::Publication)
      throw EOpsError(reason.empty() ? publication : reason);
    TOpsApplication app;
    if (!ReadReplyApplication(application, app)) throw EOpsError(application);
    TLegalLookup lookup;
    const TOpsReply reply = connection_->Get(client_, opspaths::Legal(number.publication), kXml);
    if (reply.status == 404) {
      lookup.status = opstext::kLegalUnknown;
      return lookup;
    }
    const std::vector<TOpsLegalEvent> events = ReadLegalReply(reply.body, app);
    lookup.status = LegalStatusCell(events);
    for (const TOpsLegalEvent& e : events) lookup.events.push_back({e.code, e.date, e.description});
    return lookup;
  }

 private:
  std::unique_ptr<TOpsConnection> connection_;
  THttpClient client_;
};

}  // namespace

std::unique_ptr<TLegalSession> OpenLegalSession(TProgress progress) {
  return std::make_unique<TOpsLegalSession>(std::move(progress));
}
