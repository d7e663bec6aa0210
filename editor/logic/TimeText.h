#pragma once

#include <QString>

// The editor's time format. Below an hour a time reads "mm:ss" of its whole seconds
// (truncated, never rounded: 59.9 s is "00:59"); from an hour on it reads "h:mm:ss"
// ("1:02:05"), so a long video never shows a time with its hours dropped. A time
// that is not a finite number reads "--:--", and a negative one "00:00".
QString timeText(double seconds);

// "current / total", for example "01:05 / 03:20".
QString timeLabelText(double current, double total);

// A time to the nearest millisecond for the paused playhead: "h:mm:ss.fff"
// ("0:01:05.500"); "--:--" and a clamp to zero as in timeText.
QString preciseTimeText(double seconds);
