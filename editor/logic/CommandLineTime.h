#pragma once

#include <QString>
#include <QStringView>

#include "Outcome.h"

// A time given on the command line: seconds ("75", "75.5"), a number with a unit
// ("75.5s", "1500ms", "2min", "1h"), minutes and seconds ("1:15", "1:15.500"), hours,
// minutes and seconds ("1:02:05.25"), or a share of the video's length ("40%"). Minutes and seconds after a colon must be below 60; the
// leading field may be any size ("90:00" is an hour and a half).
struct CommandLineTime {
    double value = 0.0; // seconds, or percent of the video's length
    bool percent = false;

    // The time in seconds for a video of the given length.
    double seconds(double duration) const { return percent ? value / 100.0 * duration : value; }
};

// Reads a time, or says what is wrong with it.
Outcome<CommandLineTime> parseCommandLineTime(QStringView text);

// A path or name made safe to print on one terminal line: control characters are
// shown escaped ("\n", "\t", "\x1b"), and so are bytes of a file name that are not
// UTF-8 ("\xFF", see FileNames.h).
QString escapeControlCharacters(const QString& text);
