// The checks a send run's inputs pass before it starts, in the order the send commands make
// them. A failing check reports its message and refuses; a filling check reports its message,
// puts a value into SendSettings and goes on. The main window's send commands and the runner
// both make them.
#pragma once

// Receives each message (Shift-JIS) as it is raised.
using CheckMessageSink = void (*)(const char* message, void* context);

// The send command's checks (testRun 0) or the test-send command's (testRun 1, which first
// looks at TestAddress: empty takes MailAddress, unusable refuses). Last, the transfer tool
// (FileLocations.ToolPath) must exist. True when the run may start.
bool CheckSendInputs(int testRun, CheckMessageSink sink, void* context);
