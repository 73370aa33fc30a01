#pragma once

#include <string>

// --screenshot: the picture the console's video interface shows, written as the PNG file at
// `path`; with the VI showing nothing, one line on standard error instead and no file. False,
// after its line on standard error, when the file cannot be written.
bool write_screenshot(const std::string& path);
