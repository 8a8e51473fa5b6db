#pragma once
// The subcommands of tavrilo-cli. Each prints one JSON document on stdout and returns the exit
// status; a failure prints one line on stderr and returns 1.

#include <string>
#include <vector>

namespace tavrilo::cli {

using Args = std::vector<std::string>;

int Names(const Args& args);
int Info(const Args& args);
int Track(const Args& args);
int Scan(const Args& args);
int Csv(const Args& args);
int Join(const Args& args);
int Gpx(const Args& args);
int Kml(const Args& args);
int Render(const Args& args);

// Prints "tavrilo-cli COMMAND: message" on stderr and returns 1.
int Fail(const std::string& command, const std::string& message);

}  // namespace tavrilo::cli
