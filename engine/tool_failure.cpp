#include "engine/tool_failure.h"

#include <cstdio>

#include "engine/engine_texts.h"
#include "platform/process.h"

namespace {

struct ExitReason {
  int code;
  const char* reason;
};

// curl's exit codes (libcurl-errors(3)) that have a reason of their own.
constexpr ExitReason kExitReasons[] = {
    {67, kReasonLoginDenied},    // CURLE_LOGIN_DENIED
    {6, kReasonNoConnection},    // CURLE_COULDNT_RESOLVE_HOST
    {7, kReasonNoConnection},    // CURLE_COULDNT_CONNECT
    {28, kReasonNoConnection},   // CURLE_OPERATION_TIMEDOUT
    {60, kReasonCertificate},    // CURLE_PEER_FAILED_VERIFICATION
    {51, kReasonCertificate},    // its number before curl 7.62 (the system curl of older Windows)
    {35, kReasonNoTls},          // CURLE_SSL_CONNECT_ERROR
    {64, kReasonNoTls},          // CURLE_USE_SSL_FAILED: no STARTTLS while --ssl-reqd
    {55, kReasonRefused},        // CURLE_SEND_ERROR: MAIL FROM, RCPT TO or DATA refused
    {8, kReasonRefused},         // CURLE_WEIRD_SERVER_REPLY: the message refused after its data
    {platform::kProcessNotStarted, kReasonToolNotStarted},
    {platform::kProcessTimedOut, kReasonToolTimedOut},
};

}  // namespace

const char* DescribeToolFailure(int exitCode, char* out, size_t capacity) {
  if (!out || capacity == 0) return out;
  for (const ExitReason& known : kExitReasons) {
    if (known.code == exitCode) {
      std::snprintf(out, capacity, "%s", known.reason);
      return out;
    }
  }
  std::snprintf(out, capacity, kReasonExitCode, exitCode);
  return out;
}
