#pragma once

#include <optional>
#include <string>
#include <vector>

// What the command-line program needs of the system it runs on: its arguments, the text of
// its console and whether that is a terminal.
namespace console {

// Sets the program up for its console's text; once, first.
void Prepare();
// The arguments after the program's name. Windows hands them over as UTF-16: they come as
// UTF-8, as the core takes paths. POSIX systems hand over bytes, which stay as they are.
std::vector<std::string> Arguments(int argc, char** argv);
// An argument that is text (the new value) as UTF-8; nothing when it is not text in the
// console's character set.
std::optional<std::string> TextAsUtf8(const std::string& argument);
// The name of the console's character set, as the system gives it.
std::string CharacterSet();
// Whether stderr is a terminal that shows a progress bar.
bool ErrorsShowOnATerminal();

}  // namespace console
