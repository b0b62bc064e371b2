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
</context>
<context>
    <name>MidiOutput</name>
    <message>
        <source>The MIDI output port could not be opened%1. It needs a running JACK server (jackd from the Debian package jackd2, or PipeWire&apos;s with pw-jack) or the ALSA sequencer (the snd-seq kernel module: sudo modprobe snd-seq).</source>
        <translation>Der MIDI-Ausgangsport ließ sich nicht öffnen%1. Er braucht einen laufenden JACK-Server (jackd aus dem Debian-Paket jackd2 oder den von PipeWire mit pw-jack) oder den ALSA-Sequencer (das Kernelmodul snd-seq: sudo modprobe snd-seq).</translation>
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
    <name>Synth</name>
    <message>
        <source>No General MIDI SoundFont found. Install one with: sudo apt-get install fluid-soundfont-gm (or name a .sf2 file with --soundfont or QUILLOTONE_SOUNDFONT).</source>
        <translation>Keine General-MIDI-SoundFont gefunden. Installieren Sie eine mit: sudo apt-get install fluid-soundfont-gm (oder nennen Sie eine .sf2-Datei mit --soundfont oder QUILLOTONE_SOUNDFONT).</translation>
    </message>
    <message>
        <source>The synthesizer could not be started (unknown error).</source>
        <translation>Der Synthesizer ließ sich nicht starten (unbekannter Fehler).</translation>
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
