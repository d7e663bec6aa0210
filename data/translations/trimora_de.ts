<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>Alerts</name>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>ClipNamePattern</name>
    <message>
        <source>&apos;%1&apos; %2</source>
        <translation>&apos;%1&apos; %2</translation>
    </message>
    <message>
        <source>has a &apos;}&apos; that closes nothing (write &apos;}}&apos; for one).</source>
        <translation>enthält eine &apos;}&apos;, die nichts schließt (für eine &apos;}&apos; schreiben Sie &apos;}}&apos;).</translation>
    </message>
    <message>
        <source>holds a &apos;/&apos;; a clip&apos;s name cannot name a folder.</source>
        <translation>enthält einen &apos;/&apos;; der Name eines Clips kann keinen Ordner nennen.</translation>
    </message>
    <message>
        <source>has a &apos;{&apos; that is never closed (write &apos;{{&apos; for one).</source>
        <translation>enthält eine &apos;{&apos;, die nie geschlossen wird (für eine &apos;{&apos; schreiben Sie &apos;{{&apos;).</translation>
    </message>
    <message>
        <source>has an unknown field {%1}; the fields are {stem}, {n} and {n:02}.</source>
        <translation>enthält ein unbekanntes Feld {%1}; die Felder sind {stem}, {n} und {n:02}.</translation>
    </message>
    <message>
        <source>is no name.</source>
        <translation>ist kein Name.</translation>
    </message>
    <message>
        <source>starts with a dot, which would hide the clips.</source>
        <translation>beginnt mit einem Punkt, was die Clips verstecken würde.</translation>
    </message>
</context>
<context>
    <name>ClipPlan</name>
    <message>
        <source>it has no video track.</source>
        <translation>Es hat keine Videospur.</translation>
    </message>
    <message>
        <source>its frames carry no presentation times, so it cannot be cut exactly.</source>
        <translation>Seine Bilder tragen keine Anzeigezeiten, daher lässt es sich nicht genau schneiden.</translation>
    </message>
    <message>
        <source>the video is damaged or could not be read.</source>
        <translation>Das Video ist beschädigt oder konnte nicht gelesen werden.</translation>
    </message>
    <message>
        <source>the video ends early; the file may be incomplete or damaged.</source>
        <translation>Das Video endet zu früh; die Datei ist vielleicht unvollständig oder beschädigt.</translation>
    </message>
    <message>
        <source>its first keyframe cannot be read; the file is damaged.</source>
        <translation>Sein erstes Schlüsselbild lässt sich nicht lesen; die Datei ist beschädigt.</translation>
    </message>
</context>
<context>
    <name>CommandLineTime</name>
    <message>
        <source>&apos;%1&apos; is not a time: %2</source>
        <translation>&apos;%1&apos; ist keine Zeit: %2</translation>
    </message>
    <message>
        <source>it is empty</source>
        <translation>Die Angabe ist leer</translation>
    </message>
    <message>
        <source>use a number of percent such as 25% or 12.5%</source>
        <translation>Geben Sie eine Prozentzahl an, etwa 25% oder 12.5%</translation>
    </message>
    <message>
        <source>a share of the video cannot be more than 100%</source>
        <translation>Ein Anteil des Videos kann nicht über 100% liegen</translation>
    </message>
    <message>
        <source>use a number before the unit, such as 75.5s, 1500ms or 2min</source>
        <translation>Geben Sie eine Zahl vor der Einheit an, etwa 75.5s, 1500ms oder 2min</translation>
    </message>
    <message>
        <source>use seconds, mm:ss or h:mm:ss</source>
        <translation>Geben Sie Sekunden, mm:ss oder h:mm:ss an</translation>
    </message>
    <message>
        <source>use seconds, mm:ss or h:mm:ss, with digits and at most one decimal point</source>
        <translation>Geben Sie Sekunden, mm:ss oder h:mm:ss an, mit Ziffern und höchstens einem Dezimalpunkt</translation>
    </message>
    <message>
        <source>minutes and seconds after a colon must be below 60</source>
        <translation>Minuten und Sekunden nach einem Doppelpunkt müssen unter 60 liegen</translation>
    </message>
</context>
<context>
    <name>ControlsRules</name>
    <message>
        <source>Done, Save %1 Videos</source>
        <translation>%1 Videos speichern</translation>
    </message>
</context>
<context>
    <name>CutterViewController</name>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Close (Esc)</source>
        <translation>Schließen (Esc)</translation>
    </message>
    <message>
        <source>More</source>
        <translation>Mehr</translation>
    </message>
    <message>
        <source>Go to a time, split into parts, open another video</source>
        <translation>Zu einem Zeitpunkt springen, in Teile teilen, ein anderes Video öffnen</translation>
    </message>
    <message>
        <source>More ▾</source>
        <translation>Mehr ▾</translation>
    </message>
    <message>
        <source>Save every clip to your video library (Ctrl+S)</source>
        <translation>Jeden Clip in Ihrer Videobibliothek speichern (Strg+S)</translation>
    </message>
    <message>
        <source>Saving progress</source>
        <translation>Speicherfortschritt</translation>
    </message>
    <message>
        <source>Stop saving; the clips saved so far stay</source>
        <translation>Speichern anhalten; die bisher gespeicherten Clips bleiben erhalten</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Abspielen</translation>
    </message>
    <message>
        <source>Play (Space)</source>
        <translation>Abspielen (Leertaste)</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Pause (Space)</source>
        <translation>Pause (Leertaste)</translation>
    </message>
    <message>
        <source>Press and drag to move the playhead</source>
        <translation>Drücken und ziehen, um die Abspielposition zu verschieben</translation>
    </message>
    <message>
        <source>Split</source>
        <translation>Teilen</translation>
    </message>
    <message>
        <source>Split at the playhead (S)</source>
        <translation>An der Abspielposition teilen (S)</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Rückgängig</translation>
    </message>
    <message>
        <source>Undo the last split (Ctrl+Z)</source>
        <translation>Den letzten Schnitt rückgängig machen (Strg+Z)</translation>
    </message>
    <message>
        <source>Remove a clip</source>
        <translation>Einen Clip entfernen</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Go to Time…</source>
        <translation>Zu Zeitpunkt springen …</translation>
    </message>
    <message>
        <source>Split into Equal Parts…</source>
        <translation>In gleiche Teile teilen …</translation>
    </message>
    <message>
        <source>Split Every…</source>
        <translation>In festen Abständen teilen …</translation>
    </message>
    <message>
        <source>Open Another Video…</source>
        <translation>Anderes Video öffnen …</translation>
    </message>
    <message>
        <source>Cut at Keyframes Only (No Re-encoding)</source>
        <translation>Nur an Schlüsselbildern schneiden (ohne Neukodierung)</translation>
    </message>
    <message>
        <source>%1 · frame %2</source>
        <translation>%1 · Bild %2</translation>
    </message>
    <message>
        <source>Go to Time</source>
        <translation>Zu Zeitpunkt springen</translation>
    </message>
    <message>
        <source>Time (seconds, mm:ss, h:mm:ss or a share such as 40%):</source>
        <translation>Zeitpunkt (Sekunden, mm:ss, h:mm:ss oder ein Anteil wie 40%):</translation>
    </message>
    <message>
        <source>%1 is after the end of the video (%2).</source>
        <translation>%1 liegt nach dem Ende des Videos (%2).</translation>
    </message>
    <message>
        <source>Split into Equal Parts</source>
        <translation>In gleiche Teile teilen</translation>
    </message>
    <message>
        <source>Number of parts:</source>
        <translation>Anzahl der Teile:</translation>
    </message>
    <message>
        <source>Split Every</source>
        <translation>In festen Abständen teilen</translation>
    </message>
    <message>
        <source>Length of each clip (seconds, mm:ss or h:mm:ss):</source>
        <translation>Länge jedes Clips (Sekunden, mm:ss oder h:mm:ss):</translation>
    </message>
    <message>
        <source>Give a length of time above zero, such as 30 or 5:00.</source>
        <translation>Geben Sie eine Zeitspanne über null an, etwa 30 oder 5:00.</translation>
    </message>
    <message>
        <source>Clips of %1 would make more than %2 clips.</source>
        <translation>Clips von %1 ergäben mehr als %2 Clips.</translation>
    </message>
    <message>
        <source>Unsaved Splits</source>
        <translation>Nicht gespeichert</translation>
    </message>
    <message numerus="yes">
        <source>Discard %n splits?</source>
        <translation>
            <numerusform>%n Schnittpunkt verwerfen?</numerusform>
            <numerusform>%n Schnittpunkte verwerfen?</numerusform>
        </translation>
    </message>
    <message>
        <source>They have not been saved to your video library.</source>
        <translation>Sie wurden noch nicht in Ihrer Videobibliothek gespeichert.</translation>
    </message>
    <message>
        <source>Discard</source>
        <translation>Verwerfen</translation>
    </message>
    <message>
        <source>Saving…</source>
        <translation>Wird gespeichert …</translation>
    </message>
    <message>
        <source>Stopped: no clip was saved.</source>
        <translation>Angehalten: Kein Clip wurde gespeichert.</translation>
    </message>
    <message>
        <source>Stopped: %1 of %2 clips saved to %3.</source>
        <translation>Angehalten: %1 von %2 Clips in %3 gespeichert.</translation>
    </message>
    <message>
        <source>Your videos were saved to %1.</source>
        <translation>Ihre Videos wurden in %1 gespeichert.</translation>
    </message>
    <message numerus="yes">
        <source>%n videos were saved to %1.</source>
        <translation>
            <numerusform>%n Video wurde in %1 gespeichert.</numerusform>
            <numerusform>%n Videos wurden in %1 gespeichert.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n empty clips were skipped: their ranges hold no frame.</source>
        <translation>
            <numerusform>%n leerer Clip wurde übersprungen: Sein Bereich enthält kein Bild.</numerusform>
            <numerusform>%n leere Clips wurden übersprungen: Ihre Bereiche enthalten kein Bild.</numerusform>
        </translation>
    </message>
    <message>
        <source>Stopped</source>
        <translation>Angehalten</translation>
    </message>
    <message>
        <source>Finished</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>Show in Folder</source>
        <translation>Im Ordner anzeigen</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message numerus="yes">
        <source>%n of %1 clips could not be saved.</source>
        <translation>
            <numerusform>%n von %1 Clips konnte nicht gespeichert werden.</numerusform>
            <numerusform>%n von %1 Clips konnten nicht gespeichert werden.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>…and %n more, listed under Show Details.</source>
        <translation>
            <numerusform>… und %n weiterer, aufgeführt unter „Details einblenden“.</numerusform>
            <numerusform>… und %n weitere, aufgeführt unter „Details einblenden“.</numerusform>
        </translation>
    </message>
    <message>
        <source>Stopping…</source>
        <translation>Wird angehalten …</translation>
    </message>
    <message>
        <source>Saving clips… %1 of %2</source>
        <translation>Speichern … %1 von %2</translation>
    </message>
    <message>
        <source>Done, Save 1 Videos</source>
        <translation>1 Videos speichern</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>Zoom the timeline</source>
        <translation>Zeitleiste zoomen</translation>
    </message>
    <message>
        <source>Zoom the timeline around the playhead (Ctrl+Plus, Ctrl+Minus, Ctrl+wheel)</source>
        <translation>Zeitleiste um die Abspielposition zoomen (Strg+Plus, Strg+Minus, Strg+Mausrad)</translation>
    </message>
    <message>
        <source>Scroll the timeline</source>
        <translation>Zeitleiste verschieben</translation>
    </message>
    <message>
        <source>Scroll the zoomed timeline (mouse wheel over the strip)</source>
        <translation>Die gezoomte Zeitleiste verschieben (Mausrad über der Zeitleiste)</translation>
    </message>
    <message numerus="yes">
        <source>%n splits moved back to the keyframe before them, where a clip can start without encoding:</source>
        <translation>
            <numerusform>%n Schnittpunkt wurde auf das Schlüsselbild davor verschoben, wo ein Clip ohne Neukodierung beginnen kann:</numerusform>
            <numerusform>%n Schnittpunkte wurden auf das Schlüsselbild davor verschoben, wo ein Clip ohne Neukodierung beginnen kann:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>…and %n more.</source>
        <translation>
            <numerusform>…und %n weiterer.</numerusform>
            <numerusform>…und %n weitere.</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation>von %1 auf %2</translation>
    </message>
    <message>
        <source>%1×</source>
        <translation>%1×</translation>
    </message>
</context>
<context>
    <name>DesktopApp</name>
    <message>
        <source>open one video at a time.</source>
        <translation>Öffnen Sie immer nur ein Video.</translation>
    </message>
    <message>
        <source>--library: &apos;&apos; is not a folder.</source>
        <translation>--library: &apos;&apos; ist kein Ordner.</translation>
    </message>
    <message>
        <source>Try &apos;trimora --help&apos;.</source>
        <translation>Weitere Informationen mit &apos;trimora --help&apos;.</translation>
    </message>
    <message>
        <source>trimora: there is no display to show the editor on.
Run it in your desktop session, or on a machine without a screen with
    xvfb-run trimora [VIDEO]
The command line needs no display: trimora split VIDEO --parts N
</source>
        <translation>trimora: Es gibt keinen Bildschirm, auf dem der Editor erscheinen kann.
Starten Sie es in Ihrer Desktop-Sitzung oder auf einem Rechner ohne Bildschirm mit
    xvfb-run trimora [VIDEO]
Die Befehlszeile braucht keinen Bildschirm: trimora split VIDEO --parts N
</translation>
    </message>
</context>
<context>
    <name>DesktopStoreReview</name>
    <message>
        <source>Enjoying Trimora?</source>
        <translation>Gefällt Ihnen Trimora?</translation>
    </message>
    <message>
        <source>If Trimora saves you time, a rating in your software centre helps others find it.</source>
        <translation>Wenn Trimora Ihnen Zeit spart, hilft eine Bewertung in Ihrer Softwareverwaltung anderen, es zu finden.</translation>
    </message>
    <message>
        <source>Rate Trimora</source>
        <translation>Trimora bewerten</translation>
    </message>
    <message>
        <source>Not Now</source>
        <translation>Jetzt nicht</translation>
    </message>
</context>
<context>
    <name>FfmpegSupport</name>
    <message>
        <source>Could not cut &apos;%1&apos;: %2</source>
        <translation>&apos;%1&apos; konnte nicht geschnitten werden: %2</translation>
    </message>
    <message>
        <source>error %1</source>
        <translation>Fehler %1</translation>
    </message>
    <message>
        <source>Could not open &apos;%1&apos;: %2</source>
        <translation>&apos;%1&apos; konnte nicht geöffnet werden: %2</translation>
    </message>
    <message>
        <source>Could not read video &apos;%1&apos;: %2</source>
        <translation>Das Video &apos;%1&apos; konnte nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>it is a folder, not a video.</source>
        <translation>Es ist ein Ordner, kein Video.</translation>
    </message>
    <message>
        <source>it is a pipe, and a pipe cannot be read twice. Trimora opens only regular files: save the video to a file first.</source>
        <translation>Es ist eine Pipe, und eine Pipe lässt sich nicht zweimal lesen. Trimora öffnet nur reguläre Dateien: Speichern Sie das Video zuerst in einer Datei.</translation>
    </message>
    <message>
        <source>it is a device or a socket, not a file. Trimora opens only regular files.</source>
        <translation>Es ist ein Gerät oder ein Socket, keine Datei. Trimora öffnet nur reguläre Dateien.</translation>
    </message>
    <message>
        <source>out of memory.</source>
        <translation>Nicht genug Arbeitsspeicher.</translation>
    </message>
    <message>
        <source>it cannot be read from its start again.</source>
        <translation>Es lässt sich nicht erneut von seinem Anfang an lesen.</translation>
    </message>
    <message>
        <source>its pictures are %1×%2; Trimora handles pictures up to 7680×4320 (8K)</source>
        <translation>Seine Bilder sind %1×%2 groß; Trimora verarbeitet Bilder bis 7680×4320 (8K)</translation>
    </message>
    <message>
        <source>it was changed while reading.</source>
        <translation>Es wurde während des Lesens geändert.</translation>
    </message>
    <message>
        <source>it is not a video Trimora can read, or it is damaged or incomplete</source>
        <translation>es ist kein Video, das Trimora lesen kann, oder es ist beschädigt oder unvollständig</translation>
    </message>
</context>
<context>
    <name>FolderVideoLibrary</name>
    <message>
        <source>Waiting for another Trimora saving into &apos;%1&apos;...</source>
        <translation>Warten auf ein anderes Trimora, das in &apos;%1&apos; speichert …</translation>
    </message>
    <message>
        <source>saving was stopped</source>
        <translation>Das Speichern wurde angehalten</translation>
    </message>
    <message numerus="yes">
        <source>another program has kept the folder &apos;%1&apos; locked (its file %2) for over %n second(s); close it, or remove that file if no Trimora is running</source>
        <translation>
            <numerusform>ein anderes Programm hält den Ordner &apos;%1&apos; seit über %n Sekunde gesperrt (seine Datei %2); schließen Sie es, oder entfernen Sie diese Datei, wenn kein Trimora läuft</numerusform>
            <numerusform>Ein anderes Programm hält den Ordner &apos;%1&apos; seit über %n Sekunden gesperrt (seine Datei %2); schließen Sie es, oder entfernen Sie diese Datei, wenn kein Trimora läuft</numerusform>
        </translation>
    </message>
    <message>
        <source>the folder &apos;%1&apos; cannot be locked (%2)</source>
        <translation>Der Ordner &apos;%1&apos; lässt sich nicht sperren (%2)</translation>
    </message>
    <message>
        <source>there is not enough space in &apos;%1&apos;</source>
        <translation>In &apos;%1&apos; ist nicht genug Platz</translation>
    </message>
    <message>
        <source>every name for it is taken</source>
        <translation>Jeder Name dafür ist vergeben</translation>
    </message>
    <message>
        <source>Could not add &apos;%1&apos; to the video library: %2.</source>
        <translation>&apos;%1&apos; konnte nicht zur Videobibliothek hinzugefügt werden: %2.</translation>
    </message>
    <message>
        <source>it is not a readable video (%1)</source>
        <translation>Es ist kein lesbares Video (%1)</translation>
    </message>
    <message>
        <source>Cannot save clips to &apos;%1&apos;: %2.</source>
        <translation>Clips können nicht in &apos;%1&apos; gespeichert werden: %2.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is a link to &apos;%2&apos;, which does not exist</source>
        <translation>&apos;%1&apos; ist eine Verknüpfung auf &apos;%2&apos;, das nicht existiert</translation>
    </message>
    <message>
        <source>it is not a folder</source>
        <translation>Es ist kein Ordner</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is a file, not a folder</source>
        <translation>&apos;%1&apos; ist eine Datei, kein Ordner</translation>
    </message>
    <message>
        <source>the folder &apos;%1&apos; cannot be made (%2)</source>
        <translation>Der Ordner &apos;%1&apos; lässt sich nicht anlegen (%2)</translation>
    </message>
    <message>
        <source>there is not enough space: the clips need about %1, and %2 is free</source>
        <translation>Nicht genug Platz: Die Clips brauchen etwa %1, frei sind %2</translation>
    </message>
    <message>
        <source>Saving was stopped.</source>
        <translation>Das Speichern wurde angehalten.</translation>
    </message>
    <message>
        <source>Cannot save clips to &apos;%1&apos;: there is not enough space.</source>
        <translation>Clips können nicht in &apos;%1&apos; gespeichert werden: Es ist nicht genug Platz.</translation>
    </message>
</context>
<context>
    <name>FrameReencoder</name>
    <message>
        <source>this FFmpeg has no encoder for its %1 video</source>
        <translation>Dieses FFmpeg hat keinen Encoder für sein %1-Video</translation>
    </message>
    <message>
        <source>the video cannot be decoded</source>
        <translation>Das Video lässt sich nicht dekodieren</translation>
    </message>
    <message>
        <source>its %1 video cannot be encoded again with the same picture format</source>
        <translation>Sein %1-Video lässt sich nicht im selben Bildformat neu kodieren</translation>
    </message>
    <message>
        <source>a frame that has to be encoded again cannot be decoded</source>
        <translation>Ein Bild, das neu kodiert werden muss, lässt sich nicht dekodieren</translation>
    </message>
    <message>
        <source>its frames change format, so the frames at the split cannot be encoded again.</source>
        <translation>Seine Bilder wechseln das Format, daher lassen sich die Bilder am Schnittpunkt nicht neu kodieren.</translation>
    </message>
    <message>
        <source>the frames at the split could not be encoded again</source>
        <translation>Die Bilder am Schnittpunkt konnten nicht neu kodiert werden</translation>
    </message>
</context>
<context>
    <name>MediaProbe</name>
    <message>
        <source>its video format (%1) is not supported</source>
        <translation>Sein Videoformat (%1) wird nicht unterstützt</translation>
    </message>
    <message>
        <source>out of memory</source>
        <translation>Nicht genug Arbeitsspeicher</translation>
    </message>
    <message>
        <source>its video cannot be decoded (%1)</source>
        <translation>Sein Video lässt sich nicht dekodieren (%1)</translation>
    </message>
    <message>
        <source>its first picture cannot be decoded (%1)</source>
        <translation>Sein erstes Bild lässt sich nicht dekodieren (%1)</translation>
    </message>
    <message>
        <source>no picture found</source>
        <translation>Kein Bild gefunden</translation>
    </message>
    <message>
        <source>Could not open video &apos;%1&apos;: %2.</source>
        <translation>Das Video &apos;%1&apos; konnte nicht geöffnet werden: %2.</translation>
    </message>
    <message>
        <source>it has no video track</source>
        <translation>Es hat keine Videospur</translation>
    </message>
    <message>
        <source>its length cannot be read</source>
        <translation>Seine Länge lässt sich nicht lesen</translation>
    </message>
    <message>
        <source>its picture size cannot be read</source>
        <translation>Seine Bildgröße lässt sich nicht lesen</translation>
    </message>
</context>
<context>
    <name>QuitGuard</name>
    <message>
        <source>Still Saving</source>
        <translation>Wird noch gespeichert</translation>
    </message>
    <message>
        <source>Trimora is still saving your clips to your video library. It will close as soon as they are all saved.</source>
        <translation>Trimora speichert Ihre Clips noch in Ihrer Videobibliothek. Es wird geschlossen, sobald alle gespeichert sind.</translation>
    </message>
</context>
<context>
    <name>SplitCommand</name>
    <message>
        <source>--at: %1</source>
        <translation>--at: %1</translation>
    </message>
    <message>
        <source>--at %1 is after the end of the video (%2).</source>
        <translation>--at %1 liegt nach dem Ende des Videos (%2).</translation>
    </message>
    <message>
        <source>--at %1 repeats a split point given before.</source>
        <translation>--at %1 wiederholt einen bereits angegebenen Schnittpunkt.</translation>
    </message>
    <message>
        <source>--parts: &apos;%1&apos; is not a number.</source>
        <translation>--parts: &apos;%1&apos; ist keine Zahl.</translation>
    </message>
    <message>
        <source>--parts: %1 is not a whole number from 1 to %2.</source>
        <translation>--parts: %1 ist keine ganze Zahl von 1 bis %2.</translation>
    </message>
    <message>
        <source>--every: %1</source>
        <translation>--every: %1</translation>
    </message>
    <message>
        <source>--every: wants a length of time above zero, such as 30 or 5:00, not &apos;%1&apos;.</source>
        <translation>--every: erwartet eine Zeitspanne über null, etwa 30 oder 5:00, nicht &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>--every: %1 would make more than %2 clips.</source>
        <translation>--every: %1 ergäbe mehr als %2 Clips.</translation>
    </message>
    <message>
        <source>Cutting at keyframes only (the frames are copied as they are):</source>
        <translation>Schnitt nur an Schlüsselbildern (die Bilder werden unverändert kopiert):</translation>
    </message>
    <message>
        <source>the split at %1 s moves to the keyframe at %2 s</source>
        <translation>der Schnittpunkt bei %1 s wird auf das Schlüsselbild bei %2 s verschoben</translation>
    </message>
    <message>
        <source>%1 holds no frame: both its ends are at the keyframe at %2 s; it is skipped</source>
        <translation>%1 enthält kein Bild: Beide Enden liegen am Schlüsselbild bei %2 s; er wird übersprungen</translation>
    </message>
    <message>
        <source>every split is on a keyframe</source>
        <translation>jeder Schnittpunkt liegt auf einem Schlüsselbild</translation>
    </message>
    <message>
        <source>empty, skipped</source>
        <translation>leer, übersprungen</translation>
    </message>
    <message>
        <source>failed: %1</source>
        <translation>fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>%1 s to %2 s</source>
        <translation>%1 s bis %2 s</translation>
    </message>
    <message numerus="yes">
        <source>%n frames</source>
        <translation>
            <numerusform>%n Bild</numerusform>
            <numerusform>%n Bilder</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 encoded again</source>
        <translation>%1 neu kodiert</translation>
    </message>
    <message>
        <source>(starts at the keyframe at %1 s, before the split: its %2 video cannot be encoded again here)</source>
        <translation>(beginnt am Schlüsselbild bei %1 s, vor dem Schnittpunkt: Sein %2-Video lässt sich hier nicht neu kodieren)</translation>
    </message>
    <message>
        <source>%1 of %2 clips</source>
        <translation>%1 von %2 Clips</translation>
    </message>
    <message>
        <source>%1: empty, skipped</source>
        <translation>%1: leer, übersprungen</translation>
    </message>
    <message>
        <source>%1: stopped</source>
        <translation>%1: angehalten</translation>
    </message>
    <message>
        <source>%1: failed: %2</source>
        <translation>%1: fehlgeschlagen: %2</translation>
    </message>
    <message>
        <source>split at TIME; repeat for more splits. TIME is seconds (75.5), with a unit (75.5s, 1500ms, 2min, 1h), mm:ss(.fff), h:mm:ss(.fff) or a share of the video (40%)</source>
        <translation>bei TIME teilen; für weitere Schnittpunkte wiederholen. TIME ist in Sekunden (75.5), mit Einheit (75.5s, 1500ms, 2min, 1h), mm:ss(.fff), h:mm:ss(.fff) oder ein Anteil des Videos (40%)</translation>
    </message>
    <message>
        <source>cut into N parts of equal length</source>
        <translation>in N gleich lange Teile schneiden</translation>
    </message>
    <message>
        <source>cut into clips of TIME each (the last one may be shorter)</source>
        <translation>in Clips von je TIME schneiden (der letzte kann kürzer sein)</translation>
    </message>
    <message>
        <source>encode nothing: move each split to the keyframe at or before it</source>
        <translation>nichts kodieren: jeden Schnittpunkt auf das Schlüsselbild an oder vor ihm verschieben</translation>
    </message>
    <message>
        <source>add the clips to DIR instead of the video library (%1)</source>
        <translation>die Clips in DIR statt in der Videobibliothek (%1) ablegen</translation>
    </message>
    <message>
        <source>name the clips by TEMPLATE: {stem} is the video&apos;s name without its extension, {n} the clip&apos;s number from 0, {n:02} the number with two digits at least (default: split-{n})</source>
        <translation>die Clips nach TEMPLATE benennen: {stem} ist der Name des Videos ohne Endung, {n} die Nummer des Clips ab 0, {n:02} die Nummer mit mindestens zwei Ziffern (Vorgabe: split-{n})</translation>
    </message>
    <message>
        <source>show the clips that would be cut (times, frames), and cut nothing</source>
        <translation>die Clips zeigen, die geschnitten würden (Zeiten, Bilder), und nichts schneiden</translation>
    </message>
    <message>
        <source>write one JSON document about the clips to standard output; the result lines go to standard error</source>
        <translation>ein JSON-Dokument über die Clips auf die Standardausgabe schreiben; die Ergebniszeilen gehen auf die Standardfehlerausgabe</translation>
    </message>
    <message>
        <source>say nothing on standard error but errors</source>
        <translation>auf der Standardfehlerausgabe nur Fehler melden</translation>
    </message>
    <message>
        <source>say more: each clip&apos;s times and frames before cutting</source>
        <translation>mehr sagen: die Zeiten und Bilder jedes Clips vor dem Schneiden</translation>
    </message>
    <message>
        <source>show this help</source>
        <translation>diese Hilfe zeigen</translation>
    </message>
    <message>
        <source>show Trimora&apos;s version</source>
        <translation>die Version von Trimora zeigen</translation>
    </message>
    <message>
        <source>Usage: trimora split [OPTION]... VIDEO... (--at TIME... | --parts N | --every TIME)

Cuts each VIDEO into clips and adds them to the video library. Clips start and end
on the frames asked for; only the few frames from a split to the next keyframe are
encoded again. Nothing in the library is ever replaced.

</source>
        <translation>Aufruf: trimora split [OPTION]... VIDEO... (--at TIME... | --parts N | --every TIME)

Schneidet jedes VIDEO in Clips und fügt sie der Videobibliothek hinzu. Clips
beginnen und enden auf den verlangten Bildern; nur die wenigen Bilder von einem
Schnittpunkt bis zum nächsten Schlüsselbild werden neu kodiert. Nichts in der
Bibliothek wird je ersetzt.

</translation>
    </message>
    <message>
        <source>Try &apos;trimora split --help&apos;.</source>
        <translation>Weitere Informationen mit &apos;trimora split --help&apos;.</translation>
    </message>
    <message>
        <source>name a video to split.</source>
        <translation>Geben Sie ein Video zum Teilen an.</translation>
    </message>
    <message>
        <source>give exactly one of --at, --parts and --every.</source>
        <translation>Geben Sie genau eine der Optionen --at, --parts und --every an.</translation>
    </message>
    <message>
        <source>--%1 can be given once.</source>
        <translation>--%1 darf nur einmal angegeben werden.</translation>
    </message>
    <message>
        <source>--quiet and --verbose cannot be given together.</source>
        <translation>--quiet und --verbose können nicht zusammen angegeben werden.</translation>
    </message>
    <message>
        <source>--library: &apos;&apos; is not a folder.</source>
        <translation>--library: &apos;&apos; ist kein Ordner.</translation>
    </message>
    <message>
        <source>--name: %1</source>
        <translation>--name: %1</translation>
    </message>
    <message>
        <source>Nothing was cut.</source>
        <translation>Nichts wurde geschnitten.</translation>
    </message>
    <message>
        <source>--name: the clips of %1 would be named &apos;%2&apos;, which is no file name.</source>
        <translation>--name: Die Clips von %1 hießen &apos;%2&apos;, was kein Dateiname ist.</translation>
    </message>
    <message numerus="yes">
        <source>Would cut %1 (%2) into %n clips for %3; nothing is cut</source>
        <translation>
            <numerusform>Würde %1 (%2) in %n Clip nach %3 schneiden; nichts wird geschnitten</numerusform>
            <numerusform>Würde %1 (%2) in %n Clips nach %3 schneiden; nichts wird geschnitten</numerusform>
        </translation>
    </message>
    <message>
        <source>Nothing more was cut.</source>
        <translation>Nichts weiter wurde geschnitten.</translation>
    </message>
    <message numerus="yes">
        <source>Cutting %1 (%2) into %n clips for %3</source>
        <translation>
            <numerusform>%1 (%2) wird in %n Clip nach %3 geschnitten</numerusform>
            <numerusform>%1 (%2) wird in %n Clips nach %3 geschnitten</numerusform>
        </translation>
    </message>
    <message>
        <source>Standard output was closed.</source>
        <translation>Die Standardausgabe wurde geschlossen.</translation>
    </message>
    <message>
        <source>Stopped: %1 of %2 clips saved to %3</source>
        <translation>Angehalten: %1 von %2 Clips in %3 gespeichert</translation>
    </message>
    <message>
        <source>No clip of %1 holds a frame; nothing was saved.</source>
        <translation>Kein Clip von %1 enthält ein Bild; nichts wurde gespeichert.</translation>
    </message>
    <message>
        <source>%1 of %2 clips failed.</source>
        <translation>%1 von %2 Clips sind fehlgeschlagen.</translation>
    </message>
</context>
<context>
    <name>StreamCopyCutter</name>
    <message>
        <source>this FFmpeg cannot write %1 files.</source>
        <translation>Dieses FFmpeg kann keine %1-Dateien schreiben.</translation>
    </message>
    <message>
        <source>it has no video track.</source>
        <translation>Es hat keine Videospur.</translation>
    </message>
    <message>
        <source>its %1 format (%2) cannot be stored in an %3 file.</source>
        <translation>Sein %1-Format (%2) lässt sich nicht in einer %3-Datei speichern.</translation>
    </message>
    <message>
        <source>video</source>
        <translation>Video</translation>
    </message>
    <message>
        <source>sound</source>
        <translation>Ton</translation>
    </message>
    <message>
        <source>the clip could not be set up</source>
        <translation>Der Clip konnte nicht eingerichtet werden</translation>
    </message>
    <message>
        <source>the clip could not be created</source>
        <translation>Der Clip konnte nicht angelegt werden</translation>
    </message>
    <message>
        <source>its H.264 video has no decoder configuration that can be extended.</source>
        <translation>Sein H.264-Video hat keine Decoder-Konfiguration, die sich erweitern lässt.</translation>
    </message>
    <message>
        <source>the clip could not be started</source>
        <translation>Der Clip konnte nicht begonnen werden</translation>
    </message>
    <message>
        <source>the clip could not be written</source>
        <translation>Der Clip konnte nicht geschrieben werden</translation>
    </message>
    <message>
        <source>the clip could not be finished</source>
        <translation>Der Clip konnte nicht abgeschlossen werden</translation>
    </message>
    <message>
        <source>the clip could not be saved</source>
        <translation>Der Clip konnte nicht gespeichert werden</translation>
    </message>
    <message>
        <source>there is not enough space in &apos;%1&apos;.</source>
        <translation>In &apos;%1&apos; ist nicht genug Platz.</translation>
    </message>
    <message>
        <source>there is not enough memory.</source>
        <translation>Es ist nicht genug Arbeitsspeicher vorhanden.</translation>
    </message>
    <message>
        <source>the clip&apos;s index does not fit at the front of the file.</source>
        <translation>Der Index des Clips passt nicht an den Anfang der Datei.</translation>
    </message>
    <message>
        <source>some of its pictures cannot be read; the file is damaged.</source>
        <translation>Einige seiner Bilder lassen sich nicht lesen; die Datei ist beschädigt.</translation>
    </message>
    <message>
        <source>the video could not be read again.</source>
        <translation>Das Video konnte nicht erneut gelesen werden.</translation>
    </message>
    <message>
        <source>it was changed while cutting.</source>
        <translation>Es wurde während des Schneidens geändert.</translation>
    </message>
    <message>
        <source>the video ends early or is damaged within the clip; the file may be incomplete.</source>
        <translation>Das Video endet zu früh oder ist innerhalb des Clips beschädigt; die Datei ist vielleicht unvollständig.</translation>
    </message>
    <message>
        <source>the video could not be read to the end of the clip</source>
        <translation>Das Video konnte nicht bis zum Ende des Clips gelesen werden</translation>
    </message>
    <message>
        <source>the video ended before the end of the clip; it was changed while cutting.</source>
        <translation>Das Video endete vor dem Ende des Clips; es wurde während des Schneidens geändert.</translation>
    </message>
    <message>
        <source>the video ends early; the file may be incomplete or damaged.</source>
        <translation>Das Video endet zu früh; die Datei ist vielleicht unvollständig oder beschädigt.</translation>
    </message>
    <message>
        <source>the video is damaged within the clip: %1 of its %2 frames could be read.</source>
        <translation>Das Video ist innerhalb des Clips beschädigt: %1 seiner %2 Bilder ließen sich lesen.</translation>
    </message>
    <message>
        <source>the encoder described the frames at the two ends differently.</source>
        <translation>Der Encoder hat die Bilder an den beiden Enden unterschiedlich beschrieben.</translation>
    </message>
    <message>
        <source>its keyframe at %1 s cannot be decoded; the file is damaged.</source>
        <translation>Sein Schlüsselbild bei %1 s lässt sich nicht dekodieren; die Datei ist beschädigt.</translation>
    </message>
    <message>
        <source>the pictures after its keyframe at %1 s refer to others in a way Trimora cannot follow; cut it at an earlier keyframe.</source>
        <translation>Die Bilder nach seinem Schlüsselbild bei %1 s verweisen so auf andere, dass Trimora ihnen nicht folgen kann; schneiden Sie es an einem früheren Schlüsselbild.</translation>
    </message>
</context>
<context>
    <name>StripView</name>
    <message>
        <source>Timeline</source>
        <translation>Zeitleiste</translation>
    </message>
    <message>
        <source>Split at %1</source>
        <translation>Schnittpunkt bei %1</translation>
    </message>
    <message>
        <source>Reading the sound… %1%</source>
        <translation>Ton wird gelesen … %1 %</translation>
    </message>
</context>
<context>
    <name>ThumbnailSource</name>
    <message>
        <source>Could not open video &apos;%1&apos;: it has no video track.</source>
        <translation>Das Video &apos;%1&apos; konnte nicht geöffnet werden: Es hat keine Videospur.</translation>
    </message>
    <message>
        <source>Could not open video &apos;%1&apos;: %2.</source>
        <translation>Das Video &apos;%1&apos; konnte nicht geöffnet werden: %2.</translation>
    </message>
    <message>
        <source>Could not open video &apos;%1&apos;: its video format (%2) is not supported.</source>
        <translation>Das Video &apos;%1&apos; konnte nicht geöffnet werden: Sein Videoformat (%2) wird nicht unterstützt.</translation>
    </message>
    <message>
        <source>Could not open video &apos;%1&apos;: out of memory.</source>
        <translation>Das Video &apos;%1&apos; konnte nicht geöffnet werden: Nicht genug Arbeitsspeicher.</translation>
    </message>
    <message>
        <source>Could not make a picture of &apos;%1&apos;: out of memory.</source>
        <translation>Von &apos;%1&apos; konnte kein Bild erstellt werden: Nicht genug Arbeitsspeicher.</translation>
    </message>
    <message>
        <source>Could not make a picture of &apos;%1&apos; at %2 s: %3</source>
        <translation>Von &apos;%1&apos; konnte bei %2 s kein Bild erstellt werden: %3</translation>
    </message>
    <message>
        <source>Could not make a picture of &apos;%1&apos;: its pixel format cannot be converted.</source>
        <translation>Von &apos;%1&apos; konnte kein Bild erstellt werden: Sein Pixelformat lässt sich nicht umwandeln.</translation>
    </message>
</context>
<context>
    <name>ViewController</name>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>⚙  Settings</source>
        <translation>⚙  Einstellungen</translation>
    </message>
    <message>
        <source>Cut one video into clips that start and end on the frames you choose.</source>
        <translation>Schneiden Sie ein Video in Clips, die auf den Bildern Ihrer Wahl beginnen und enden.</translation>
    </message>
    <message>
        <source>Open a Video</source>
        <translation>Video öffnen</translation>
    </message>
    <message>
        <source>Open a video (Ctrl+O)</source>
        <translation>Ein Video öffnen (Strg+O)</translation>
    </message>
    <message>
        <source>or drop a video file here</source>
        <translation>oder eine Videodatei hierher ziehen</translation>
    </message>
    <message>
        <source>Support</source>
        <translation>Support</translation>
    </message>
    <message>
        <source>Write to Trimora&apos;s support</source>
        <translation>An den Trimora-Support schreiben</translation>
    </message>
    <message>
        <source>Videos (%1)</source>
        <translation>Videos (%1)</translation>
    </message>
    <message>
        <source>Cut at Keyframes Only (No Re-encoding)</source>
        <translation>Nur an Schlüsselbildern schneiden (ohne Neukodierung)</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Recent Videos</source>
        <translation>Zuletzt geöffnet</translation>
    </message>
    <message>
        <source>Open one of the videos opened last</source>
        <translation>Eines der zuletzt geöffneten Videos öffnen</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Usage:</source>
        <translation>Aufruf:</translation>
    </message>
</context>
</TS>
