#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "http/bytesource.h"
#include "http/headerlist.h"

class TStream;

// What a reply said, its fields taken from the first header line of each name.
struct THttpResponse {
  std::string ResponseText;  // the status line as received
  int ResponseCode = -1;
  THeaderList RawHeaders;
  std::string Location;
  std::string Server;
  std::string Connection;
  std::string ProxyConnection;
  std::string ContentType = "text/html";
  std::string ContentEncoding;
  std::string ContentLanguage;
  std::string ContentVersion;
  std::string TransferEncoding;
  int64_t ContentLength = -1;
  bool HasContentLength = false;
  std::string Date;
  std::string Expires;
  std::string LastModified;
  std::string Pragma;
  std::vector<std::string> WWWAuthenticate;
  std::vector<std::string> ProxyAuthenticate;
};

// Reads a status line and its header block into reply, and on past interim (100) replies;
// onHead sees every head read, interim ones included. A close after the first header line
// ends the block (the source has then ended); a close before it raises
// ENetConnClosedGracefully. maxLine bounds each line, and 64 times it the whole block with
// its interim replies (ENetMaxLineLengthExceeded).
void ReadReplyHead(TByteSource& source, size_t maxLine, THttpResponse& reply,
                   const std::function<void(const THttpResponse&)>& onHead);

// Reads the body the head announces into dest: by Content-Length (a body the close cuts
// short is kept without error), by chunks, or up to the close. A negative Content-Length
// raises ENetUndefinedSituation.
void ReadReplyBody(TByteSource& source, const THttpResponse& reply, size_t maxLine, TStream& dest);

// The same as text of at most limit bytes: a Content-Length beyond it, or a body that grows
// past it, raises ENetUndefinedSituation instead of filling memory.
std::string ReadReplyText(TByteSource& source, const THttpResponse& reply, size_t maxLine, size_t limit);
