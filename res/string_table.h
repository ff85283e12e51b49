#pragma once
// The string table: fixed UI strings looked up by number.

// The string with this number (UTF-8), or "" when there is none.
const char* LoadResourceString(int id);
