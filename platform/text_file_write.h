#pragma once
// Writing a file a user names (a captured commissioning project): whole or not at all. The text
// goes to a new file beside the target, is flushed to the disk and then renamed over the target,
// so a reader never sees half a file and a failed write leaves the old file as it was.

#include <string>

// Why `path` can't be written, before anything is done (so a command can refuse it before it
// touches the bus); empty when it looks writable: a regular file or none yet, in a folder that
// exists.
std::string WhyNotWritable(const std::string& path);

// Writes `text` to `path` whole. A link is followed (the file it points to is replaced); a new
// file gets the mode the user's umask gives, a replaced one keeps its mode. False with *error set
// (the system's reason) when anything fails; the target is then untouched.
bool WriteTextFileWhole(const std::string& path, const std::string& text, std::string* error);
