// Which addresses a message may go to or come from.
#pragma once

// True for a non-empty address that holds "@" (never a trail byte) and none of: a control
// character, a space, a double quote, "<", ">" or ",". Such characters could end a header
// line or an argument early, so an address holding one is refused as erroneous.
bool IsUsableAddress(const char* address);
