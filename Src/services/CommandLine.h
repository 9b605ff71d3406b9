#pragma once

#include <QStringList>

// skerrin --search TEXT [--site TITLE] | --list-sites | --import-sites PATH... |
// --export-sites DIR | --search-selection | --bring-to-front | --help | --version.
// Runs without a display; the exit code is the result.
class CommandLine {
public:
    // True when the arguments ask for a command-line run rather than the window.
    static bool wants(const QStringList& arguments);
    static int run(const QStringList& arguments);
};
