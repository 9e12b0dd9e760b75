// Why a row's delivery failed, read from the transfer tool's exit code.
#pragma once
#include <cstddef>

// The reason (Shift-JIS, without a full stop) for a transfer tool that ended with `exitCode`,
// read as curl documents its exit codes: the login refused (67), the server not reached (6, 7,
// 28), its certificate not verified (60; 51 in curl before 7.62), TLS not started (35; 64 when
// the server does not offer or refuses STARTTLS), the sender, a recipient or the message
// refused (55 for MAIL FROM, RCPT TO or DATA, 8 for the reply to the message), any other code
// by its number, and platform::kProcessNotStarted and kProcessTimedOut by what happened.
// Written into `out` (`capacity` bytes) and returned.
const char* DescribeToolFailure(int exitCode, char* out, size_t capacity);
