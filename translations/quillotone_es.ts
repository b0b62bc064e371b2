<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
<context>
    <name>AudioOutput</name>
    <message>
        <source>No sound server to play on: start PulseAudio or PipeWire (packages pulseaudio, pipewire-pulse). Quillotone plays on silently until one is there.</source>
        <translation>No hay ningún servidor de sonido en el que tocar: inicie PulseAudio o PipeWire (paquetes pulseaudio, pipewire-pulse). Quillotone sigue tocando en silencio hasta que haya uno.</translation>
    </message>
    <message>
        <source>The sound output stopped: the sound server went away, or the audio device was removed. Quillotone plays on silently, and is heard again as soon as the sound server is back.</source>
        <translation>La salida de sonido se ha detenido: el servidor de sonido ha desaparecido o se ha retirado el dispositivo de audio. Quillotone sigue tocando en silencio y vuelve a oírse en cuanto regrese el servidor de sonido.</translation>
    </message>
    <message>
        <source>The sound output is back: Quillotone is heard again.</source>
        <translation>La salida de sonido ha vuelto: Quillotone vuelve a oírse.</translation>
    </message>
</context>
<context>
    <name>MidiOutput</name>
    <message>
        <source>The MIDI output port could not be opened%1. It needs a running JACK server (jackd from the Debian package jackd2, or PipeWire&apos;s with pw-jack) or the ALSA sequencer (the snd-seq kernel module: sudo modprobe snd-seq).</source>
        <translation>No se ha podido abrir el puerto de salida MIDI%1. Necesita un servidor JACK en marcha (jackd, del paquete de Debian jackd2, o el de PipeWire con pw-jack) o el secuenciador ALSA (el módulo del núcleo snd-seq: sudo modprobe snd-seq).</translation>
    </message>
</context>
<context>
    <name>Modes</name>
    <message>
        <source>dorian mode</source>
        <translation>modo dórico</translation>
    </message>
    <message>
        <source>phrygian mode</source>
        <translation>modo frigio</translation>
    </message>
    <message>
        <source>lydian mode</source>
        <translation>modo lidio</translation>
    </message>
    <message>
        <source>mixolydian mode</source>
        <translation>modo mixolidio</translation>
    </message>
    <message>
        <source>aeolian mode</source>
        <translation>modo eólico</translation>
    </message>
    <message>
        <source>ionian mode</source>
        <translation>modo jónico</translation>
    </message>
    <message>
        <source>blues scale</source>
        <translation>escala de blues</translation>
    </message>
    <message>
        <source>pentatonic scale</source>
        <translation>escala pentatónica</translation>
    </message>
</context>
<context>
    <name>PulseStream</name>
    <message>
        <source>Melody</source>
        <translation>Melodía</translation>
    </message>
</context>
<context>
    <name>Synth</name>
    <message>
        <source>No General MIDI SoundFont found. Install one with: sudo apt-get install fluid-soundfont-gm (or name a .sf2 file with --soundfont or QUILLOTONE_SOUNDFONT).</source>
        <translation>No se ha encontrado ninguna SoundFont General MIDI. Instale una con: sudo apt-get install fluid-soundfont-gm (o indique un archivo .sf2 con --soundfont o QUILLOTONE_SOUNDFONT).</translation>
    </message>
    <message>
        <source>The synthesizer could not be started (unknown error).</source>
        <translation>No se ha podido iniciar el sintetizador (error desconocido).</translation>
    </message>
</context>
<context>
    <name>Texts</name>
    <message>
        <source>Thanks for listening to this quillotone.</source>
        <translation>Gracias por escuchar este quillotone.</translation>
    </message>
    <message>
        <source>If you enjoyed it and would like to make a donation of 49p (£0.49) then please visit</source>
        <translation>Si le ha gustado y desea hacer un donativo de 49 peniques (0,49 £), visite</translation>
    </message>
    <message>
        <source>Thank you.</source>
        <translation>Gracias.</translation>
    </message>
    <message>
        <source>Quillotone plays a melody using notes from a selected mode or scale.</source>
        <translation>Quillotone toca una melodía con las notas del modo o la escala que se elija.</translation>
    </message>
    <message>
        <source>There are eight choices of mode or scale, the six principal ecclesiatistical modes (dorian, phrygian, lydian, mixolydian, aeolian, ionian as well as the blues scale and the pentatonic scale).</source>
        <translation>Hay ocho modos y escalas para elegir: los seis principales modos eclesiásticos (dórico, frigio, lidio, mixolidio, eólico y jónico), además de la escala de blues y la escala pentatónica.</translation>
    </message>
    <message>
        <source>The rhythm of the melody is a transcription of a melody that I heard whilst be put ‘on hold’ during a recent telephone call.</source>
        <translation>El ritmo de la melodía es la transcripción de una melodía que oí hace poco mientras me tenían «en espera» durante una llamada telefónica.</translation>
    </message>
    <message>
        <source>The machine will run indefinitely until stopped by the user.</source>
        <translation>La máquina sigue tocando indefinidamente hasta que el usuario la detenga.</translation>
    </message>
    <message>
        <source>Quillotone by the Quillotone developers</source>
        <translation>Quillotone, de los desarrolladores de Quillotone</translation>
    </message>
</context>
<context>
    <name>quillotone::App</name>
    <message>
        <source>Quillotone plays through its own synthesizer instead.</source>
        <translation>En su lugar, Quillotone toca con su sintetizador integrado.</translation>
    </message>
    <message>
        <source>The %1 server that carries Quillotone&apos;s MIDI output went away. %2 The port comes back by itself as soon as the server is running again.</source>
        <translation>El servidor %1 que lleva la salida MIDI de Quillotone ha desaparecido. %2 El puerto vuelve por sí solo en cuanto el servidor vuelva a funcionar.</translation>
    </message>
    <message>
        <source>The built-in synthesizer plays on.</source>
        <translation>El sintetizador integrado sigue tocando.</translation>
    </message>
    <message>
        <source>Nothing is heard meanwhile: the built-in synthesizer is off (--no-synth).</source>
        <translation>Mientras tanto no se oye nada: el sintetizador integrado está apagado (--no-synth).</translation>
    </message>
    <message>
        <source>The MIDI output is back: port %1.</source>
        <translation>La salida MIDI ha vuelto: puerto %1.</translation>
    </message>
    <message>
        <source>Quillotone keeps working, but plays silently.</source>
        <translation>Quillotone sigue funcionando, pero en silencio.</translation>
    </message>
    <message>
        <source>Quillotone met an unexpected error:</source>
        <translation>Quillotone ha encontrado un error inesperado:</translation>
    </message>
</context>
<context>
    <name>quillotone::MenuBar1</name>
    <message>
        <source>About Quillotone</source>
        <translation>Acerca de Quillotone</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Salir</translation>
    </message>
</context>
<context>
    <name>quillotone::Window1</name>
    <message>
        <source>start</source>
        <translation>iniciar</translation>
    </message>
    <message>
        <source>stop</source>
        <translation>detener</translation>
    </message>
    <message>
        <source>Playing</source>
        <translation>Reproduciendo</translation>
    </message>
    <message>
        <source>Mode or scale</source>
        <translation>Modo o escala</translation>
    </message>
</context>
</TS>
