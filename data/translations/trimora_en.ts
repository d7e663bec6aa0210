<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Alerts</name>
    <message>
        <source>Ok</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ClipNamePattern</name>
    <message>
        <source>&apos;%1&apos; %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>has a &apos;}&apos; that closes nothing (write &apos;}}&apos; for one).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>holds a &apos;/&apos;; a clip&apos;s name cannot name a folder.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>has a &apos;{&apos; that is never closed (write &apos;{{&apos; for one).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>has an unknown field {%1}; the fields are {stem}, {n} and {n:02}.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>is no name.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>starts with a dot, which would hide the clips.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ClipPlan</name>
    <message>
        <source>it has no video track.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its first keyframe cannot be read; the file is damaged.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its frames carry no presentation times, so it cannot be cut exactly.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the video is damaged or could not be read.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the video ends early; the file may be incomplete or damaged.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CommandLineTime</name>
    <message>
        <source>&apos;%1&apos; is not a time: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is empty</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>use a number of percent such as 25% or 12.5%</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a share of the video cannot be more than 100%</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>use seconds, mm:ss or h:mm:ss</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>use seconds, mm:ss or h:mm:ss, with digits and at most one decimal point</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>minutes and seconds after a colon must be below 60</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>use a number before the unit, such as 75.5s, 1500ms or 2min</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ControlsRules</name>
    <message>
        <source>Done, Save %1 Videos</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CutterViewController</name>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close (Esc)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>More</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Go to a time, split into parts, open another video</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>More ▾</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save every clip to your video library (Ctrl+S)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Play</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Play (Space)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pause</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pause (Space)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Press and drag to move the playhead</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Split</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Split at the playhead (S)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Undo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Undo the last split (Ctrl+Z)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove a clip</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Go to Time…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Split into Equal Parts…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Split Every…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Another Video…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 · frame %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Go to Time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Time (seconds, mm:ss, h:mm:ss or a share such as 40%):</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is after the end of the video (%2).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Split into Equal Parts</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Number of parts:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Split Every</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Length of each clip (seconds, mm:ss or h:mm:ss):</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Give a length of time above zero, such as 30 or 5:00.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Clips of %1 would make more than %2 clips.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unsaved Splits</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>Discard %n splits?</source>
        <translation>
            <numerusform>Discard %n split?</numerusform>
            <numerusform>Discard %n splits?</numerusform>
        </translation>
    </message>
    <message>
        <source>They have not been saved to your video library.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Discard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Your videos were saved to %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n videos were saved to %1.</source>
        <translation>
            <numerusform>%n video was saved to %1.</numerusform>
            <numerusform>%n videos were saved to %1.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n empty clips were skipped: their ranges hold no frame.</source>
        <translation>
            <numerusform>%n empty clip was skipped: its range holds no frame.</numerusform>
            <numerusform>%n empty clips were skipped: their ranges hold no frame.</numerusform>
        </translation>
    </message>
    <message>
        <source>Finished</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show in Folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n of %1 clips could not be saved.</source>
        <translation>
            <numerusform>%n of %1 clips could not be saved.</numerusform>
            <numerusform>%n of %1 clips could not be saved.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>…and %n more, listed under Show Details.</source>
        <translation>
            <numerusform>…and %n more, listed under Show Details.</numerusform>
            <numerusform>…and %n more, listed under Show Details.</numerusform>
        </translation>
    </message>
    <message>
        <source>Saving clips… %1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Saving progress</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop saving; the clips saved so far stay</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cut at Keyframes Only (No Re-encoding)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Saving…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stopped: no clip was saved.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stopped: %1 of %2 clips saved to %3.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stopped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stopping…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Done, Save 1 Videos</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom the timeline</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom the timeline around the playhead (Ctrl+Plus, Ctrl+Minus, Ctrl+wheel)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scroll the timeline</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scroll the zoomed timeline (mouse wheel over the strip)</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n splits moved back to the keyframe before them, where a clip can start without encoding:</source>
        <translation>
            <numerusform>%n split moved back to the keyframe before it, where a clip can start without encoding:</numerusform>
            <numerusform>%n splits moved back to the keyframe before them, where a clip can start without encoding:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>…and %n more.</source>
        <translation>
            <numerusform>…and %n more.</numerusform>
            <numerusform>…and %n more.</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation>%1 to %2</translation>
    </message>
    <message>
        <source>%1×</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DesktopApp</name>
    <message>
        <source>open one video at a time.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>trimora: there is no display to show the editor on.
Run it in your desktop session, or on a machine without a screen with
    xvfb-run trimora [VIDEO]
The command line needs no display: trimora split VIDEO --parts N
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--library: &apos;&apos; is not a folder.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Try &apos;trimora --help&apos;.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DesktopStoreReview</name>
    <message>
        <source>Enjoying Trimora?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>If Trimora saves you time, a rating in your software centre helps others find it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rate Trimora</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not Now</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FfmpegSupport</name>
    <message>
        <source>error %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not open &apos;%1&apos;: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not read video &apos;%1&apos;: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is a folder, not a video.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is a pipe, and a pipe cannot be read twice. Trimora opens only regular files: save the video to a file first.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is a device or a socket, not a file. Trimora opens only regular files.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not cut &apos;%1&apos;: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>out of memory.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it cannot be read from its start again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its pictures are %1×%2; Trimora handles pictures up to 7680×4320 (8K)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it was changed while reading.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is not a video Trimora can read, or it is damaged or incomplete</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FolderVideoLibrary</name>
    <message>
        <source>Could not add &apos;%1&apos; to the video library: %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is not a readable video (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the folder &apos;%1&apos; cannot be locked (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>saving was stopped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>there is not enough space in &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>every name for it is taken</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot save clips to &apos;%1&apos;: %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is not a folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>there is not enough space: the clips need about %1, and %2 is free</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Saving was stopped.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot save clips to &apos;%1&apos;: there is not enough space.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Waiting for another Trimora saving into &apos;%1&apos;...</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>another program has kept the folder &apos;%1&apos; locked (its file %2) for over %n second(s); close it, or remove that file if no Trimora is running</source>
        <translation>
            <numerusform>another program has kept the folder &apos;%1&apos; locked (its file %2) for over %n second; close it, or remove that file if no Trimora is running</numerusform>
            <numerusform>another program has kept the folder &apos;%1&apos; locked (its file %2) for over %n seconds; close it, or remove that file if no Trimora is running</numerusform>
        </translation>
    </message>
    <message>
        <source>&apos;%1&apos; is a link to &apos;%2&apos;, which does not exist</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&apos;%1&apos; is a file, not a folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the folder &apos;%1&apos; cannot be made (%2)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FrameReencoder</name>
    <message>
        <source>the video cannot be decoded</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its %1 video cannot be encoded again with the same picture format</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a frame that has to be encoded again cannot be decoded</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the frames at the split could not be encoded again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>this FFmpeg has no encoder for its %1 video</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its frames change format, so the frames at the split cannot be encoded again.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MediaProbe</name>
    <message>
        <source>its video format (%1) is not supported</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>out of memory</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its video cannot be decoded (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its first picture cannot be decoded (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no picture found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not open video &apos;%1&apos;: %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it has no video track</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its length cannot be read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its picture size cannot be read</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QuitGuard</name>
    <message>
        <source>Still Saving</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Trimora is still saving your clips to your video library. It will close as soon as they are all saved.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SplitCommand</name>
    <message>
        <source>--at: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--at %1 is after the end of the video (%2).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--at %1 repeats a split point given before.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--parts: &apos;%1&apos; is not a number.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--parts: %1 is not a whole number from 1 to %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--every: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--every: wants a length of time above zero, such as 30 or 5:00, not &apos;%1&apos;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--every: %1 would make more than %2 clips.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cutting at keyframes only (the frames are copied as they are):</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(starts at the keyframe at %1 s, before the split: its %2 video cannot be encoded again here)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 of %2 clips</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: empty, skipped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: failed: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stopped: %1 of %2 clips saved to %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>give exactly one of --at, --parts and --every.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--library: &apos;&apos; is not a folder.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nothing was cut.</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>Would cut %1 (%2) into %n clips for %3; nothing is cut</source>
        <translation>
            <numerusform>Would cut %1 (%2) into %n clip for %3; nothing is cut</numerusform>
            <numerusform>Would cut %1 (%2) into %n clips for %3; nothing is cut</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n frames</source>
        <translation>
            <numerusform>%n frame</numerusform>
            <numerusform>%n frames</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Cutting %1 (%2) into %n clips for %3</source>
        <translation>
            <numerusform>Cutting %1 (%2) into %n clip for %3</numerusform>
            <numerusform>Cutting %1 (%2) into %n clips for %3</numerusform>
        </translation>
    </message>
    <message>
        <source>No clip of %1 holds a frame; nothing was saved.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 of %2 clips failed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the split at %1 s moves to the keyframe at %2 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 holds no frame: both its ends are at the keyframe at %2 s; it is skipped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>every split is on a keyframe</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>empty, skipped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>failed: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 s to %2 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 encoded again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: stopped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>split at TIME; repeat for more splits. TIME is seconds (75.5), with a unit (75.5s, 1500ms, 2min, 1h), mm:ss(.fff), h:mm:ss(.fff) or a share of the video (40%)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cut into N parts of equal length</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cut into clips of TIME each (the last one may be shorter)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>encode nothing: move each split to the keyframe at or before it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>add the clips to DIR instead of the video library (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>name the clips by TEMPLATE: {stem} is the video&apos;s name without its extension, {n} the clip&apos;s number from 0, {n:02} the number with two digits at least (default: split-{n})</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>show the clips that would be cut (times, frames), and cut nothing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>write one JSON document about the clips to standard output; the result lines go to standard error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>say nothing on standard error but errors</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>say more: each clip&apos;s times and frames before cutting</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>show this help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>show Trimora&apos;s version</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Usage: trimora split [OPTION]... VIDEO... (--at TIME... | --parts N | --every TIME)

Cuts each VIDEO into clips and adds them to the video library. Clips start and end
on the frames asked for; only the few frames from a split to the next keyframe are
encoded again. Nothing in the library is ever replaced.

</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Try &apos;trimora split --help&apos;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>name a video to split.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--%1 can be given once.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--quiet and --verbose cannot be given together.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--name: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--name: the clips of %1 would be named &apos;%2&apos;, which is no file name.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nothing more was cut.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Standard output was closed.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StreamCopyCutter</name>
    <message>
        <source>there is not enough space in &apos;%1&apos;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>this FFmpeg cannot write %1 files.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the clip&apos;s index does not fit at the front of the file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it has no video track.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its %1 format (%2) cannot be stored in an %3 file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>video</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>sound</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the clip could not be set up</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the clip could not be created</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the video could not be read again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the clip could not be written</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the clip could not be finished</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the clip could not be saved</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the encoder described the frames at the two ends differently.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its H.264 video has no decoder configuration that can be extended.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the clip could not be started</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its keyframe at %1 s cannot be decoded; the file is damaged.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it was changed while cutting.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the video ends early or is damaged within the clip; the file may be incomplete.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the video could not be read to the end of the clip</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the video ended before the end of the clip; it was changed while cutting.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the video ends early; the file may be incomplete or damaged.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the video is damaged within the clip: %1 of its %2 frames could be read.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>there is not enough memory.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>some of its pictures cannot be read; the file is damaged.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the pictures after its keyframe at %1 s refer to others in a way Trimora cannot follow; cut it at an earlier keyframe.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StripView</name>
    <message>
        <source>Timeline</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Split at %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reading the sound… %1%</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ThumbnailSource</name>
    <message>
        <source>Could not open video &apos;%1&apos;: it has no video track.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not open video &apos;%1&apos;: its video format (%2) is not supported.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not open video &apos;%1&apos;: out of memory.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not open video &apos;%1&apos;: %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not make a picture of &apos;%1&apos; at %2 s: %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not make a picture of &apos;%1&apos;: its pixel format cannot be converted.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not make a picture of &apos;%1&apos;: out of memory.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ViewController</name>
    <message>
        <source>Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>⚙  Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cut one video into clips that start and end on the frames you choose.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open a video (Ctrl+O)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open a Video</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>or drop a video file here</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Write to Trimora&apos;s support</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Support</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Videos (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cut at Keyframes Only (No Re-encoding)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Recent Videos</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open one of the videos opened last</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Usage:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
