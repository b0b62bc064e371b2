<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>AudioOutput</name>
    <message>
        <source>No sound server to play on: start PulseAudio or PipeWire (packages pulseaudio, pipewire-pulse). Quillotone plays on silently until one is there.</source>
        <translation>Kein Soundserver zum Abspielen: Starten Sie PulseAudio oder PipeWire (Pakete pulseaudio, pipewire-pulse). Bis dahin spielt Quillotone stumm weiter.</translation>
    </message>
    <message>
        <source>The sound output stopped: the sound server went away, or the audio device was removed. Quillotone plays on silently, and is heard again as soon as the sound server is back.</source>
        <translation>Die Tonausgabe ist abgebrochen: Der Soundserver ist weg, oder das Audiogerät wurde entfernt. Quillotone spielt stumm weiter und ist wieder zu hören, sobald der Soundserver zurück ist.</translation>
    </message>
    <message>
        <source>The sound output is back: Quillotone is heard again.</source>
        <translation>Die Tonausgabe ist wieder da: Quillotone ist wieder zu hören.</translation>
    </message>
    <message>
        <source>the sound output stopped: the sound server went away. Playing on silently until it is back</source>
        <translation>die Tonausgabe ist abgebrochen: Der Soundserver ist weg. Quillotone spielt stumm weiter, bis er zurück ist</translation>
    </message>
    <message>
        <source>the sound output is back</source>
        <translation>die Tonausgabe ist wieder da</translation>
    </message>
    <message>
        <source>the sound server does not answer (stopped or hung?). Playing on silently until it does</source>
        <translation>der Soundserver antwortet nicht (angehalten oder hängt er?). Quillotone spielt stumm weiter, bis er antwortet</translation>
    </message>
    <message>
        <source>The sound server does not answer: it may be stopped or hung. Quillotone plays on silently, and is heard again as soon as the server answers.</source>
        <translation>Der Soundserver antwortet nicht: Er ist vielleicht angehalten oder hängt. Quillotone spielt stumm weiter und ist wieder zu hören, sobald der Server antwortet.</translation>
    </message>
    <message>
        <source>No JACK server to play on: start jackd (package jackd2), or run Quillotone under pw-jack. Quillotone plays on silently until one is there.</source>
        <translation>Kein JACK-Server zum Abspielen: Starten Sie jackd (Paket jackd2) oder Quillotone unter pw-jack. Quillotone spielt lautlos weiter, bis einer da ist.</translation>
    </message>
    <message>
        <source>The sound card could not be opened with ALSA: another program may hold it. Quillotone plays on silently until it opens.</source>
        <translation>Die Soundkarte ließ sich nicht über ALSA öffnen: Vielleicht belegt sie ein anderes Programm. Quillotone spielt lautlos weiter, bis sie sich öffnen lässt.</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>%1 (see quillotone --help)</source>
        <translation>%1 (siehe quillotone --help)</translation>
    </message>
    <message>
        <source>unexpected argument %1</source>
        <translation>unerwartetes Argument %1</translation>
    </message>
    <message>
        <source>or</source>
        <comment>joins the last two of a list: mp3 or mid</comment>
        <translation>oder</translation>
    </message>
    <message>
        <source>unknown mode %1; choose one of: %2</source>
        <translation>unbekannter Modus %1; wählen Sie einen von: %2</translation>
    </message>
    <message>
        <source>--seed needs a whole number from 0 to 18446744073709551615 in digits, not %1</source>
        <translation>--seed braucht eine ganze Zahl von 0 bis 18446744073709551615 in Ziffern, nicht %1</translation>
    </message>
    <message>
        <source>unknown MIDI system %1 for --midi-out; choose jack or alsa</source>
        <translation>unbekanntes MIDI-System %1 für --midi-out; wählen Sie jack oder alsa</translation>
    </message>
    <message>
        <source>--midi-clock needs --midi-out, the port it is sent on</source>
        <translation>--midi-clock braucht --midi-out, den Port, über den die Clock gesendet wird</translation>
    </message>
    <message>
        <source>--no-synth needs --midi-out, or nothing would sound</source>
        <translation>--no-synth braucht --midi-out, sonst wäre nichts zu hören</translation>
    </message>
    <message>
        <source>--cycles, --seconds and --format go with --render</source>
        <translation>--cycles, --seconds und --format gehören zu --render</translation>
    </message>
    <message>
        <source>unknown format %1; choose %2</source>
        <translation>unbekanntes Format %1; wählen Sie %2</translation>
    </message>
    <message>
        <source>--render - (standard output) needs --format: %1</source>
        <translation>--render - (Standardausgabe) braucht --format: %1</translation>
    </message>
    <message>
        <source>cannot render to %1: the file name must end in %2, or name the format with --format</source>
        <translation>Rendern in %1 nicht möglich: Der Dateiname muss auf %2 enden, oder nennen Sie das Format mit --format</translation>
    </message>
    <message>
        <source>--render and --midi-out exclude each other</source>
        <translation>--render und --midi-out schließen einander aus</translation>
    </message>
    <message>
        <source>--render needs either --cycles or --seconds (one of them)</source>
        <translation>--render braucht entweder --cycles oder --seconds (eines von beiden)</translation>
    </message>
    <message>
        <source>--cycles needs a whole number from 1 to %1 in digits, not %2</source>
        <translation>--cycles braucht eine ganze Zahl von 1 bis %1 in Ziffern, nicht %2</translation>
    </message>
    <message>
        <source>--seconds needs a number above 0 and at most %1 (%2 hours) in digits, with a decimal point if need be, not %3</source>
        <translation>--seconds braucht eine Zahl über 0 und höchstens %1 (%2 Stunden) in Ziffern, bei Bedarf mit einem Punkt als Dezimaltrennzeichen (kein Komma), nicht %3</translation>
    </message>
    <message>
        <source>unknown sound system %1 for --audio; choose jack, pulse or alsa</source>
        <translation>unbekanntes Audiosystem %1 für --audio; wählen Sie jack, pulse oder alsa</translation>
    </message>
    <message>
        <source>--audio plays the built-in synthesizer live: leave out --no-synth and --render</source>
        <translation>--audio spielt den eingebauten Synthesizer live: Lassen Sie --no-synth und --render weg</translation>
    </message>
    <message>
        <source>--no-connect goes with --audio jack</source>
        <translation>--no-connect gehört zu --audio jack</translation>
    </message>
    <message>
        <source>--midi-out=alsa does not go with --audio jack: the MIDI port is then on the synth&apos;s JACK client, on JACK&apos;s clock</source>
        <translation>--midi-out=alsa passt nicht zu --audio jack: Der MIDI-Port liegt dann auf dem JACK-Client des Synthesizers, im Takt von JACK</translation>
    </message>
</context>
<context>
    <name>MidiOutput</name>
    <message>
        <source>The MIDI output port could not be opened%1. It needs a running JACK server (jackd from the Debian package jackd2, or PipeWire&apos;s with pw-jack) or the ALSA sequencer (the snd-seq kernel module: sudo modprobe snd-seq).</source>
        <translation>Der MIDI-Ausgangsport ließ sich nicht öffnen%1. Er braucht einen laufenden JACK-Server (jackd aus dem Debian-Paket jackd2 oder den von PipeWire mit pw-jack) oder den ALSA-Sequencer (das Kernelmodul snd-seq: sudo modprobe snd-seq).</translation>
    </message>
    <message>
        <source>--midi-out=jack: no JACK server runs; start one (jackd from the Debian package jackd2, or PipeWire&apos;s with pw-jack)</source>
        <translation>--midi-out=jack: Es läuft kein JACK-Server; starten Sie einen (jackd aus dem Debian-Paket jackd2 oder den von PipeWire mit pw-jack)</translation>
    </message>
    <message>
        <source>--midi-out=alsa: the ALSA sequencer could not be opened%1; it needs the snd-seq kernel module (sudo modprobe snd-seq)</source>
        <translation>--midi-out=alsa: Der ALSA-Sequencer ließ sich nicht öffnen%1; er braucht das Kernelmodul snd-seq (sudo modprobe snd-seq)</translation>
    </message>
</context>
<context>
    <name>Modes</name>
    <message>
        <source>dorian mode</source>
        <translation>Dorisch</translation>
    </message>
    <message>
        <source>phrygian mode</source>
        <translation>Phrygisch</translation>
    </message>
    <message>
        <source>lydian mode</source>
        <translation>Lydisch</translation>
    </message>
    <message>
        <source>mixolydian mode</source>
        <translation>Mixolydisch</translation>
    </message>
    <message>
        <source>aeolian mode</source>
        <translation>Äolisch</translation>
    </message>
    <message>
        <source>ionian mode</source>
        <translation>Ionisch</translation>
    </message>
    <message>
        <source>blues scale</source>
        <translation>Blues-Tonleiter</translation>
    </message>
    <message>
        <source>pentatonic scale</source>
        <translation>Pentatonik</translation>
    </message>
</context>
<context>
    <name>PulseStream</name>
    <message>
        <source>Melody</source>
        <translation>Melodie</translation>
    </message>
</context>
<context>
    <name>Render</name>
    <message>
        <source>writing failed: %1</source>
        <translation>Schreiben fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>Rendering: %1 %</source>
        <translation>Rendern: %1 %</translation>
    </message>
    <message>
        <source>the reader went away before the end (the pipe was closed); the render stopped</source>
        <translation>Das lesende Programm hat vor dem Ende aufgehört (die Pipe wurde geschlossen); das Rendern wurde abgebrochen</translation>
    </message>
    <message>
        <source>standard output</source>
        <translation>die Standardausgabe</translation>
    </message>
    <message>
        <source>cannot render to %1: %2</source>
        <translation>Rendern in %1 nicht möglich: %2</translation>
    </message>
    <message>
        <source>no such mode</source>
        <translation>Diesen Modus gibt es nicht</translation>
    </message>
    <message>
        <source>%1 is a FIFO with no reader yet; the render waits for one (Ctrl+C to cancel)</source>
        <translation>%1 ist ein FIFO, aus dem noch niemand liest; das Rendern wartet darauf (Strg+C bricht ab)</translation>
    </message>
    <message>
        <source>it is the SoundFont in use (%1); render to another name</source>
        <translation>Es ist die verwendete SoundFont (%1); rendern Sie unter einem anderen Namen</translation>
    </message>
    <message>
        <source>seed %1</source>
        <translation>Startwert %1</translation>
    </message>
    <message>
        <source>the name is too long (at most 255 bytes a name, 4095 a path)</source>
        <translation>Der Name ist zu lang (höchstens 255 Bytes für einen Namen, 4095 für einen Pfad)</translation>
    </message>
    <message>
        <source>it is a folder</source>
        <translation>Es ist ein Ordner</translation>
    </message>
    <message>
        <source>it is a disk; a render is not written over one</source>
        <translation>Es ist ein Datenträger; ein Rendering wird nicht über einen Datenträger geschrieben</translation>
    </message>
    <message>
        <source>descriptor %1 is not open; open it for writing (&gt; song.flac) or name a file</source>
        <translation>Deskriptor %1 ist nicht geöffnet; öffnen Sie ihn zum Schreiben (&gt; song.flac) oder nennen Sie eine Datei</translation>
    </message>
    <message>
        <source>descriptor %1 is open only for reading; open it for writing (&gt; song.flac) or name a file</source>
        <translation>Deskriptor %1 ist nur zum Lesen geöffnet; öffnen Sie ihn zum Schreiben (&gt; song.flac) oder nennen Sie eine Datei</translation>
    </message>
    <message>
        <source>it is a terminal; send the render to a file or a pipe (&gt; song.flac, or | aplay)</source>
        <translation>Es ist ein Terminal; leiten Sie das Rendering in eine Datei oder eine Pipe um (&gt; song.flac oder | aplay)</translation>
    </message>
    <message>
        <source>the file there is another user&apos;s, in a folder where only a file&apos;s owner may replace it (the sticky bit); choose another name</source>
        <translation>Die Datei dort gehört einem anderen Benutzer, in einem Ordner, in dem nur der Eigentümer einer Datei sie ersetzen darf (Sticky-Bit); wählen Sie einen anderen Namen</translation>
    </message>
    <message>
        <source>cannot keep the permissions of the file there: %1</source>
        <translation>Die Zugriffsrechte der vorhandenen Datei lassen sich nicht übernehmen: %1</translation>
    </message>
    <message>
        <source>cannot keep the access control list of the file there: %1</source>
        <translation>Die Zugriffskontrollliste der vorhandenen Datei lässt sich nicht übernehmen: %1</translation>
    </message>
    <message>
        <source>the file is in place, but its folder could not be written to the disk: %1</source>
        <translation>Die Datei ist an ihrem Platz, aber ihr Ordner ließ sich nicht auf den Datenträger schreiben: %1</translation>
    </message>
    <message>
        <source>cannot start the file: %1</source>
        <translation>Der Anfang der Datei lässt sich nicht schreiben: %1</translation>
    </message>
</context>
<context>
    <name>Synth</name>
    <message>
        <source>No General MIDI SoundFont found. Install one with: sudo apt-get install fluid-soundfont-gm (or name a .sf2 file with --soundfont or QUILLOTONE_SOUNDFONT).</source>
        <translation>Keine General-MIDI-SoundFont gefunden. Installieren Sie eine mit: sudo apt-get install fluid-soundfont-gm (oder nennen Sie eine .sf2-Datei mit --soundfont oder QUILLOTONE_SOUNDFONT).</translation>
    </message>
    <message>
        <source>The synthesizer could not be started (unknown error).</source>
        <translation>Der Synthesizer ließ sich nicht starten (unbekannter Fehler).</translation>
    </message>
    <message>
        <source>Choose a working .sf2/.sf3 file (--soundfont, or QUILLOTONE_SOUNDFONT), or leave both unset to use the system&apos;s (sudo apt-get install fluid-soundfont-gm).</source>
        <translation>Wählen Sie eine funktionierende .sf2/.sf3-Datei (--soundfont oder QUILLOTONE_SOUNDFONT), oder lassen Sie beides weg, um die SoundFont des Systems zu verwenden (sudo apt-get install fluid-soundfont-gm).</translation>
    </message>
    <message>
        <source>The SoundFont %1 cannot be read: %2.</source>
        <translation>Die SoundFont %1 lässt sich nicht lesen: %2.</translation>
    </message>
    <message>
        <source>The SoundFont %1 has no sample data (its &quot;smpl&quot; chunk is empty).</source>
        <translation>Die SoundFont %1 enthält keine Sampledaten (ihr &quot;smpl&quot;-Chunk ist leer).</translation>
    </message>
    <message>
        <source>The SoundFont %1 has no sample data (its &quot;smpl&quot; chunk is missing).</source>
        <translation>Die SoundFont %1 enthält keine Sampledaten (ihr &quot;smpl&quot;-Chunk fehlt).</translation>
    </message>
    <message>
        <source>The SoundFont %1 is damaged: its sample headers are missing.</source>
        <translation>Die SoundFont %1 ist beschädigt: Ihre Sample-Header fehlen.</translation>
    </message>
    <message>
        <source>The SoundFont %1 is damaged: its sample %2 lies outside its sample data.</source>
        <translation>Die SoundFont %1 ist beschädigt: Ihr Sample %2 liegt außerhalb ihrer Sampledaten.</translation>
    </message>
    <message>
        <source>SoundFont not found: %1.</source>
        <translation>SoundFont nicht gefunden: %1.</translation>
    </message>
    <message>
        <source>The SoundFont %1 cannot be read: permission denied (check the file&apos;s permissions).</source>
        <translation>Die SoundFont %1 lässt sich nicht lesen: Zugriff verweigert (prüfen Sie die Zugriffsrechte der Datei).</translation>
    </message>
    <message>
        <source>The SoundFont %1 cannot be opened: %2.</source>
        <translation>Die SoundFont %1 lässt sich nicht öffnen: %2.</translation>
    </message>
    <message>
        <source>%1 is a folder, not a SoundFont file.</source>
        <translation>%1 ist ein Ordner, keine SoundFont-Datei.</translation>
    </message>
    <message>
        <source>%1 is not a regular file (a pipe or a device?), so not a SoundFont.</source>
        <translation>%1 ist keine reguläre Datei (eine Pipe oder ein Gerät?), also keine SoundFont.</translation>
    </message>
    <message>
        <source>The SoundFont %1 is empty (0 bytes).</source>
        <translation>Die SoundFont %1 ist leer (0 Bytes).</translation>
    </message>
    <message>
        <source>%1 is not a SoundFont: it does not begin like a .sf2/.sf3 file.</source>
        <translation>%1 ist keine SoundFont: Die Datei beginnt nicht wie eine .sf2/.sf3-Datei.</translation>
    </message>
    <message>
        <source>The SoundFont %1 is incomplete: it has %2 bytes where its header promises %3. It was probably cut short while being copied or downloaded.</source>
        <translation>Die SoundFont %1 ist unvollständig: Sie hat %2 Bytes, wo ihr Header %3 verspricht. Vermutlich wurde sie beim Kopieren oder Herunterladen abgeschnitten.</translation>
    </message>
    <message>
        <source>The SoundFont %1 is damaged: its &quot;%2&quot; part is missing or runs past the end of the file.</source>
        <translation>Die SoundFont %1 ist beschädigt: Ihr Teil &quot;%2&quot; fehlt oder reicht über das Dateiende hinaus.</translation>
    </message>
    <message>
        <source>SoundFont not found: %1. Name an existing .sf2 file (--soundfont or %2), or neither to use the system&apos;s (sudo apt-get install fluid-soundfont-gm).</source>
        <translation>SoundFont nicht gefunden: %1. Nennen Sie eine vorhandene .sf2-Datei (--soundfont oder %2) oder keines von beiden, um die SoundFont des Systems zu verwenden (sudo apt-get install fluid-soundfont-gm).</translation>
    </message>
    <message>
        <source>Could not load the SoundFont %1: it is not a valid .sf2/.sf3 file. Name a working SoundFont with --soundfont or %2.</source>
        <translation>Die SoundFont %1 ließ sich nicht laden: Sie ist keine gültige .sf2/.sf3-Datei. Nennen Sie eine funktionierende SoundFont mit --soundfont oder %2.</translation>
    </message>
</context>
<context>
    <name>Texts</name>
    <message>
        <source>Thanks for listening to this quillotone.</source>
        <translation>Danke, dass Sie diesem Quillotone zugehört haben.</translation>
    </message>
    <message>
        <source>If you enjoyed it and would like to make a donation of 49p (£0.49) then please visit</source>
        <translation>Wenn es Ihnen gefallen hat und Sie 49 Pence (0,49 £) spenden möchten, besuchen Sie bitte</translation>
    </message>
    <message>
        <source>Thank you.</source>
        <translation>Vielen Dank.</translation>
    </message>
    <message>
        <source>Quillotone plays a melody using notes from a selected mode or scale.</source>
        <translation>Quillotone spielt eine Melodie aus den Tönen eines gewählten Modus oder einer gewählten Tonleiter.</translation>
    </message>
    <message>
        <source>There are eight choices of mode or scale, the six principal ecclesiatistical modes (dorian, phrygian, lydian, mixolydian, aeolian, ionian as well as the blues scale and the pentatonic scale).</source>
        <translation>Zur Wahl stehen acht Modi und Tonleitern: die sechs wichtigsten Kirchentonarten (dorisch, phrygisch, lydisch, mixolydisch, äolisch, ionisch) sowie die Blues-Tonleiter und die Pentatonik.</translation>
    </message>
    <message>
        <source>The rhythm of the melody is a transcription of a melody that I heard whilst be put ‘on hold’ during a recent telephone call.</source>
        <translation>Der Rhythmus der Melodie ist die Transkription einer Melodie, die ich neulich in der „Warteschleife“ eines Telefonats gehört habe.</translation>
    </message>
    <message>
        <source>The machine will run indefinitely until stopped by the user.</source>
        <translation>Die Maschine spielt endlos weiter, bis sie vom Benutzer angehalten wird.</translation>
    </message>
    <message>
        <source>Quillotone by the Quillotone developers</source>
        <translation>Quillotone von den Quillotone-Entwicklern</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Qt&apos;s Wayland platform plugin is not installed: install the Debian package qt6-wayland (or set DISPLAY to run through XWayland).</source>
        <translation>das Wayland-Plattform-Plugin von Qt ist nicht installiert: Installieren Sie das Debian-Paket qt6-wayland (oder setzen Sie DISPLAY, um über XWayland zu laufen).</translation>
    </message>
    <message>
        <source>the display cannot be reached (%1). Run it from a desktop session, or render to a file with --render.</source>
        <translation>die Anzeige ist nicht erreichbar (%1). Starten Sie Quillotone in einer Desktop-Sitzung, oder rendern Sie mit --render in eine Datei.</translation>
    </message>
    <message>
        <source>cannot write to standard output: %1</source>
        <translation>Schreiben in die Standardausgabe nicht möglich: %1</translation>
    </message>
    <message>
        <source>the render failed: %1</source>
        <translation>das Rendern ist fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>no display to open the window on. Run it from a desktop session (DISPLAY or WAYLAND_DISPLAY set), or render to a file with --render.</source>
        <translation>keine Anzeige, auf der sich das Fenster öffnen ließe. Starten Sie Quillotone in einer Desktop-Sitzung (DISPLAY oder WAYLAND_DISPLAY gesetzt), oder rendern Sie mit --render in eine Datei.</translation>
    </message>
</context>
<context>
    <name>quillotone::App</name>
    <message>
        <source>Quillotone plays through its own synthesizer instead.</source>
        <translation>Quillotone spielt stattdessen über seinen eingebauten Synthesizer.</translation>
    </message>
    <message>
        <source>The %1 server that carries Quillotone&apos;s MIDI output went away. %2 The port comes back by itself as soon as the server is running again.</source>
        <translation>Der %1-Server, über den Quillotones MIDI-Ausgang läuft, ist weg. %2 Der Port kommt von selbst zurück, sobald der Server wieder läuft.</translation>
    </message>
    <message>
        <source>The built-in synthesizer plays on.</source>
        <translation>Der eingebaute Synthesizer spielt weiter.</translation>
    </message>
    <message>
        <source>Nothing is heard meanwhile: the built-in synthesizer is off (--no-synth).</source>
        <translation>Bis dahin ist nichts zu hören: Der eingebaute Synthesizer ist ausgeschaltet (--no-synth).</translation>
    </message>
    <message>
        <source>The MIDI output is back: port %1.</source>
        <translation>Der MIDI-Ausgang ist wieder da: Port %1.</translation>
    </message>
    <message>
        <source>Quillotone keeps working, but plays silently.</source>
        <translation>Quillotone läuft weiter, spielt aber stumm.</translation>
    </message>
    <message>
        <source>Quillotone met an unexpected error:</source>
        <translation>In Quillotone ist ein unerwarteter Fehler aufgetreten:</translation>
    </message>
    <message>
        <source>MIDI output on %1, port %2</source>
        <translation>MIDI-Ausgang über %1, Port %2</translation>
    </message>
    <message>
        <source>playing the %1, seed %2 (again: quillotone --mode %3 --seed %2)</source>
        <translation>spielt: %1, Startwert %2 (noch einmal: quillotone --mode %3 --seed %2)</translation>
    </message>
    <message>
        <source>the %1 server of the MIDI output went away; looking for it again</source>
        <translation>der %1-Server des MIDI-Ausgangs ist weg; er wird erneut gesucht</translation>
    </message>
    <message>
        <source>the MIDI output is back, port %1</source>
        <translation>der MIDI-Ausgang ist wieder da, Port %1</translation>
    </message>
    <message>
        <source>an unknown error</source>
        <translation>ein unbekannter Fehler</translation>
    </message>
    <message>
        <source>unexpected error: %1</source>
        <translation>unerwarteter Fehler: %1</translation>
    </message>
    <message>
        <source>the MIDI output&apos;s server does not answer (JACK stopped or hung?); the port opens once it does</source>
        <translation>der Server des MIDI-Ausgangs antwortet nicht (JACK angehalten oder hängt es?); der Port wird geöffnet, sobald er antwortet</translation>
    </message>
    <message>
        <source>The MIDI output&apos;s server does not answer: JACK may be stopped or hung. Quillotone plays through its own synthesizer, and the port opens as soon as the server answers.</source>
        <translation>Der Server des MIDI-Ausgangs antwortet nicht: JACK ist vielleicht angehalten oder hängt. Quillotone spielt über seinen eigenen Synthesizer, und der Port wird geöffnet, sobald der Server antwortet.</translation>
    </message>
    <message>
        <source>The MIDI output is open: port %1.</source>
        <translation>Der MIDI-Ausgang ist offen: Port %1.</translation>
    </message>
</context>
<context>
    <name>quillotone::MenuBar1</name>
    <message>
        <source>About Quillotone</source>
        <translation>Über Quillotone</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
</context>
<context>
    <name>quillotone::Window1</name>
    <message>
        <source>start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Playing</source>
        <translation>Spielt</translation>
    </message>
    <message>
        <source>Mode or scale</source>
        <translation>Modus oder Tonleiter</translation>
    </message>
</context>
</TS>
