// The standard report of an exception that escapes the entry: a message box
// with the exception's text and the application title as caption, or, with
// no widget application to show one, a line on stderr.
// Threads: window thread (the entry).
#pragma once

#include <exception>

void ReportException(const std::exception& error);
