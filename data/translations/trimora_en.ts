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
        <source>
QWidget#CutterViewController { background: #16161b; }
QWidget#CutterViewController &gt; QLabel { color: #e6e6ec; }
QWidget#CutterViewController &gt; QLabel:disabled { color: #5c5c66; }
QLabel#titleLabel { font-size: 15px; font-weight: 600; }
QLabel#currentTimeLabel { font-size: 15px; font-family: monospace; }
QPushButton#closeButton { color: #e6e6ec; background: #2a2a31; border: none; border-radius: 8px; padding: 8px 16px; font-size: 14px; }
QPushButton#closeButton:hover { background: #34343c; }
QPushButton#doneButton { color: white; background: transparent; border: none; font-size: 15px; font-weight: 600; }
QPushButton#doneButton:disabled { color: rgba(255,255,255,170); }
QPushButton#playButton, QPushButton#pauseButton { color: #16161b; background: #f2f2f6; border: none; border-radius: 22px; font-size: 18px; }
QPushButton#splitButton, QPushButton#undoButton, QPushButton#removeButton { color: #f2f2f6; background: #2a2a31; border: none; border-radius: 28px; font-size: 22px; }
QPushButton#splitButton:hover, QPushButton#undoButton:hover { background: #393941; }
QPushButton#undoButton:disabled { color: #5c5c66; background: #202026; }
QWidget#previewBackView { background: black; border-radius: 10px; }
QWidget#splitPointsNumbersView { background: #e6e6ec; border-radius: 6px; }
QLabel#exportProgressLabel { color: #a4a4ae; font-size: 13px; }
QLabel#frameReadoutLabel { color: #a4a4ae; font-size: 13px; font-family: monospace; }
QPushButton#moreButton { color: #e6e6ec; background: #2a2a31; border: none; border-radius: 8px; padding: 8px 16px; font-size: 14px; }
QPushButton#moreButton:hover { background: #34343c; }
QPushButton#moreButton::menu-indicator { image: none; width: 0; }
QPushButton#closeButton:focus, QPushButton#moreButton:focus, QPushButton#doneButton:focus, QPushButton#playButton:focus,
QPushButton#pauseButton:focus, QPushButton#splitButton:focus, QPushButton#undoButton:focus { border: 2px solid #8ab4ff; }
</source>
        <translation type="unfinished"></translation>
    </message>
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
        <source>Done, Save 1 Videos</source>
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
        <source>▶</source>
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
        <source>❚❚</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>00:00 / 00:00</source>
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
        <source>✂</source>
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
        <source>↶</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove a clip</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>✕</source>
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
        <source>Trimora</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cut one video into clips, without losing a frame or a bit of quality.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open a video (Ctrl+O)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>+</source>
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
        <source>
QWidget#ViewController { background: #16161b; }
QWidget#ViewController &gt; QLabel { color: #e6e6ec; }
QLabel#appTitle { font-size: 34px; font-weight: 700; }
QLabel#tagline { color: #a4a4ae; font-size: 15px; }
QLabel#pickLabel { font-size: 16px; font-weight: 600; }
QLabel#dropHint { color: #7c7c86; font-size: 13px; }
QPushButton#pickVideoButton { color: white; font-size: 56px; border: none; background: qlineargradient(x1:0, y1:0, x2:1, y2:1, stop:0 #ff6a95, stop:1 #e91e63); }
QPushButton#pickVideoButton:hover { background: qlineargradient(x1:0, y1:0, x2:1, y2:1, stop:0 #ff7ea3, stop:1 #f0357a); }
QPushButton#settingsButton, QPushButton#supportButton { color: #c9c9d2; background: #2a2a31; border: none; border-radius: 8px; padding: 8px 14px; font-size: 14px; }
QPushButton#settingsButton:hover, QPushButton#supportButton:hover { background: #34343c; }
QPushButton#pickVideoButton:focus { border: 3px solid #8ab4ff; }
QPushButton#settingsButton:focus, QPushButton#supportButton:focus { border: 2px solid #8ab4ff; }
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cut at Keyframes Only (No Re-encoding)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
