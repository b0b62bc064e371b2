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
    <message>
        <source>the sound output stopped: the sound server went away. Playing on silently until it is back</source>
        <translation>la salida de sonido se ha detenido: el servidor de sonido ha desaparecido. Quillotone sigue tocando en silencio hasta que vuelva</translation>
    </message>
    <message>
        <source>the sound output is back</source>
        <translation>la salida de sonido ha vuelto</translation>
    </message>
    <message>
        <source>the sound server does not answer (stopped or hung?). Playing on silently until it does</source>
        <translation>el servidor de sonido no responde (¿detenido o bloqueado?). Quillotone sigue tocando en silencio hasta que responda</translation>
    </message>
    <message>
        <source>The sound server does not answer: it may be stopped or hung. Quillotone plays on silently, and is heard again as soon as the server answers.</source>
        <translation>El servidor de sonido no responde: puede que esté detenido o bloqueado. Quillotone sigue tocando en silencio y vuelve a oírse en cuanto el servidor responda.</translation>
    </message>
    <message>
        <source>No JACK server to play on: start jackd (package jackd2), or run Quillotone under pw-jack. Quillotone plays on silently until one is there.</source>
        <translation>No hay ningún servidor JACK en el que sonar: inicie jackd (paquete jackd2) o ejecute Quillotone con pw-jack. Quillotone sigue tocando en silencio hasta que haya uno.</translation>
    </message>
    <message>
        <source>The sound card could not be opened with ALSA: another program may hold it. Quillotone plays on silently until it opens.</source>
        <translation>No se pudo abrir la tarjeta de sonido con ALSA: quizá la ocupa otro programa. Quillotone sigue tocando en silencio hasta que se abra.</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>%1 (see quillotone --help)</source>
        <translation>%1 (véase quillotone --help)</translation>
    </message>
    <message>
        <source>unexpected argument %1</source>
        <translation>argumento inesperado %1</translation>
    </message>
    <message>
        <source>or</source>
        <comment>joins the last two of a list: mp3 or mid</comment>
        <translation>o</translation>
    </message>
    <message>
        <source>unknown mode %1; choose one of: %2</source>
        <translation>modo desconocido %1; elija uno de: %2</translation>
    </message>
    <message>
        <source>--seed needs a whole number from 0 to 18446744073709551615 in digits, not %1</source>
        <translation>--seed necesita un número entero de 0 a 18446744073709551615 escrito en cifras, no %1</translation>
    </message>
    <message>
        <source>unknown MIDI system %1 for --midi-out; choose jack or alsa</source>
        <translation>sistema MIDI desconocido %1 para --midi-out; elija jack o alsa</translation>
    </message>
    <message>
        <source>--midi-clock needs --midi-out, the port it is sent on</source>
        <translation>--midi-clock necesita --midi-out, el puerto por el que se envía el reloj</translation>
    </message>
    <message>
        <source>--no-synth needs --midi-out, or nothing would sound</source>
        <translation>--no-synth necesita --midi-out; si no, no sonaría nada</translation>
    </message>
    <message>
        <source>--cycles, --seconds and --format go with --render</source>
        <translation>--cycles, --seconds y --format van con --render</translation>
    </message>
    <message>
        <source>unknown format %1; choose %2</source>
        <translation>formato desconocido %1; elija %2</translation>
    </message>
    <message>
        <source>--render - (standard output) needs --format: %1</source>
        <translation>--render - (salida estándar) necesita --format: %1</translation>
    </message>
    <message>
        <source>cannot render to %1: the file name must end in %2, or name the format with --format</source>
        <translation>no se puede renderizar en %1: el nombre del archivo debe terminar en %2, o indique el formato con --format</translation>
    </message>
    <message>
        <source>--render and --midi-out exclude each other</source>
        <translation>--render y --midi-out se excluyen mutuamente</translation>
    </message>
    <message>
        <source>--render needs either --cycles or --seconds (one of them)</source>
        <translation>--render necesita --cycles o --seconds (uno de los dos)</translation>
    </message>
    <message>
        <source>--cycles needs a whole number from 1 to %1 in digits, not %2</source>
        <translation>--cycles necesita un número entero de 1 a %1 escrito en cifras, no %2</translation>
    </message>
    <message>
        <source>--seconds needs a number above 0 and at most %1 (%2 hours) in digits, with a decimal point if need be, not %3</source>
        <translation>--seconds necesita un número mayor que 0 y como máximo %1 (%2 horas) escrito en cifras, con punto decimal si hace falta (no coma), no %3</translation>
    </message>
    <message>
        <source>unknown sound system %1 for --audio; choose jack, pulse or alsa</source>
        <translation>sistema de sonido %1 desconocido para --audio; elija jack, pulse o alsa</translation>
    </message>
    <message>
        <source>--audio plays the built-in synthesizer live: leave out --no-synth and --render</source>
        <translation>--audio hace sonar en directo el sintetizador integrado: quite --no-synth y --render</translation>
    </message>
    <message>
        <source>--no-connect goes with --audio jack</source>
        <translation>--no-connect va con --audio jack</translation>
    </message>
    <message>
        <source>--midi-out=alsa does not go with --audio jack: the MIDI port is then on the synth&apos;s JACK client, on JACK&apos;s clock</source>
        <translation>--midi-out=alsa no va con --audio jack: el puerto MIDI está entonces en el cliente JACK del sintetizador, con el reloj de JACK</translation>
    </message>
</context>
<context>
    <name>MidiOutput</name>
    <message>
        <source>The MIDI output port could not be opened%1. It needs a running JACK server (jackd from the Debian package jackd2, or PipeWire&apos;s with pw-jack) or the ALSA sequencer (the snd-seq kernel module: sudo modprobe snd-seq).</source>
        <translation>No se ha podido abrir el puerto de salida MIDI%1. Necesita un servidor JACK en marcha (jackd, del paquete de Debian jackd2, o el de PipeWire con pw-jack) o el secuenciador ALSA (el módulo del núcleo snd-seq: sudo modprobe snd-seq).</translation>
    </message>
    <message>
        <source>--midi-out=jack: no JACK server runs; start one (jackd from the Debian package jackd2, or PipeWire&apos;s with pw-jack)</source>
        <translation>--midi-out=jack: no hay ningún servidor JACK en marcha; inicie uno (jackd, del paquete de Debian jackd2, o el de PipeWire con pw-jack)</translation>
    </message>
    <message>
        <source>--midi-out=alsa: the ALSA sequencer could not be opened%1; it needs the snd-seq kernel module (sudo modprobe snd-seq)</source>
        <translation>--midi-out=alsa: no se ha podido abrir el secuenciador ALSA%1; necesita el módulo del núcleo snd-seq (sudo modprobe snd-seq)</translation>
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
    <name>Render</name>
    <message>
        <source>writing failed: %1</source>
        <translation>error al escribir: %1</translation>
    </message>
    <message>
        <source>Rendering: %1 %</source>
        <translation>Renderizando: %1 %</translation>
    </message>
    <message>
        <source>the reader went away before the end (the pipe was closed); the render stopped</source>
        <translation>el programa que leía se ha detenido antes del final (se cerró la tubería); el renderizado se ha interrumpido</translation>
    </message>
    <message>
        <source>standard output</source>
        <translation>la salida estándar</translation>
    </message>
    <message>
        <source>cannot render to %1: %2</source>
        <translation>no se puede renderizar en %1: %2</translation>
    </message>
    <message>
        <source>no such mode</source>
        <translation>ese modo no existe</translation>
    </message>
    <message>
        <source>%1 is a FIFO with no reader yet; the render waits for one (Ctrl+C to cancel)</source>
        <translation>%1 es una FIFO que nadie lee todavía; el renderizado espera a un lector (Ctrl+C para cancelar)</translation>
    </message>
    <message>
        <source>it is the SoundFont in use (%1); render to another name</source>
        <translation>es la SoundFont en uso (%1); renderice con otro nombre</translation>
    </message>
    <message>
        <source>seed %1</source>
        <translation>semilla %1</translation>
    </message>
    <message>
        <source>the name is too long (at most 255 bytes a name, 4095 a path)</source>
        <translation>el nombre es demasiado largo (como máximo 255 bytes por nombre y 4095 por ruta)</translation>
    </message>
    <message>
        <source>it is a folder</source>
        <translation>es una carpeta</translation>
    </message>
    <message>
        <source>it is a disk; a render is not written over one</source>
        <translation>es un disco; un renderizado no se escribe encima de un disco</translation>
    </message>
    <message>
        <source>descriptor %1 is not open; open it for writing (&gt; song.flac) or name a file</source>
        <translation>el descriptor %1 no está abierto; ábralo para escritura (&gt; song.flac) o indique un archivo</translation>
    </message>
    <message>
        <source>descriptor %1 is open only for reading; open it for writing (&gt; song.flac) or name a file</source>
        <translation>el descriptor %1 solo está abierto para lectura; ábralo para escritura (&gt; song.flac) o indique un archivo</translation>
    </message>
    <message>
        <source>it is a terminal; send the render to a file or a pipe (&gt; song.flac, or | aplay)</source>
        <translation>es un terminal; envíe el renderizado a un archivo o a una tubería (&gt; song.flac, o | aplay)</translation>
    </message>
    <message>
        <source>the file there is another user&apos;s, in a folder where only a file&apos;s owner may replace it (the sticky bit); choose another name</source>
        <translation>el archivo que hay ahí es de otro usuario, en una carpeta donde solo el propietario de un archivo puede reemplazarlo (sticky bit); elija otro nombre</translation>
    </message>
    <message>
        <source>cannot keep the permissions of the file there: %1</source>
        <translation>no se pueden conservar los permisos del archivo existente: %1</translation>
    </message>
    <message>
        <source>cannot keep the access control list of the file there: %1</source>
        <translation>no se puede conservar la lista de control de acceso del archivo existente: %1</translation>
    </message>
    <message>
        <source>the file is in place, but its folder could not be written to the disk: %1</source>
        <translation>el archivo está en su sitio, pero su carpeta no se ha podido escribir en el disco: %1</translation>
    </message>
    <message>
        <source>cannot start the file: %1</source>
        <translation>no se puede escribir el principio del archivo: %1</translation>
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
    <message>
        <source>Choose a working .sf2/.sf3 file (--soundfont, or QUILLOTONE_SOUNDFONT), or leave both unset to use the system&apos;s (sudo apt-get install fluid-soundfont-gm).</source>
        <translation>Elija un archivo .sf2/.sf3 que funcione (--soundfont o QUILLOTONE_SOUNDFONT), o no indique ninguno de los dos para usar la SoundFont del sistema (sudo apt-get install fluid-soundfont-gm).</translation>
    </message>
    <message>
        <source>The SoundFont %1 cannot be read: %2.</source>
        <translation>No se puede leer la SoundFont %1: %2.</translation>
    </message>
    <message>
        <source>The SoundFont %1 has no sample data (its &quot;smpl&quot; chunk is empty).</source>
        <translation>La SoundFont %1 no tiene datos de muestras (su bloque &quot;smpl&quot; está vacío).</translation>
    </message>
    <message>
        <source>The SoundFont %1 has no sample data (its &quot;smpl&quot; chunk is missing).</source>
        <translation>La SoundFont %1 no tiene datos de muestras (falta su bloque &quot;smpl&quot;).</translation>
    </message>
    <message>
        <source>The SoundFont %1 is damaged: its sample headers are missing.</source>
        <translation>La SoundFont %1 está dañada: faltan sus cabeceras de muestras.</translation>
    </message>
    <message>
        <source>The SoundFont %1 is damaged: its sample %2 lies outside its sample data.</source>
        <translation>La SoundFont %1 está dañada: su muestra %2 queda fuera de sus datos de muestras.</translation>
    </message>
    <message>
        <source>SoundFont not found: %1.</source>
        <translation>SoundFont no encontrada: %1.</translation>
    </message>
    <message>
        <source>The SoundFont %1 cannot be read: permission denied (check the file&apos;s permissions).</source>
        <translation>No se puede leer la SoundFont %1: permiso denegado (compruebe los permisos del archivo).</translation>
    </message>
    <message>
        <source>The SoundFont %1 cannot be opened: %2.</source>
        <translation>No se puede abrir la SoundFont %1: %2.</translation>
    </message>
    <message>
        <source>%1 is a folder, not a SoundFont file.</source>
        <translation>%1 es una carpeta, no un archivo SoundFont.</translation>
    </message>
    <message>
        <source>%1 is not a regular file (a pipe or a device?), so not a SoundFont.</source>
        <translation>%1 no es un archivo normal (¿una tubería o un dispositivo?), así que no es una SoundFont.</translation>
    </message>
    <message>
        <source>The SoundFont %1 is empty (0 bytes).</source>
        <translation>La SoundFont %1 está vacía (0 bytes).</translation>
    </message>
    <message>
        <source>%1 is not a SoundFont: it does not begin like a .sf2/.sf3 file.</source>
        <translation>%1 no es una SoundFont: no empieza como un archivo .sf2/.sf3.</translation>
    </message>
    <message>
        <source>The SoundFont %1 is incomplete: it has %2 bytes where its header promises %3. It was probably cut short while being copied or downloaded.</source>
        <translation>La SoundFont %1 está incompleta: tiene %2 bytes donde su cabecera promete %3. Probablemente se cortó al copiarla o descargarla.</translation>
    </message>
    <message>
        <source>The SoundFont %1 is damaged: its &quot;%2&quot; part is missing or runs past the end of the file.</source>
        <translation>La SoundFont %1 está dañada: su parte &quot;%2&quot; falta o se sale del final del archivo.</translation>
    </message>
    <message>
        <source>SoundFont not found: %1. Name an existing .sf2 file (--soundfont or %2), or neither to use the system&apos;s (sudo apt-get install fluid-soundfont-gm).</source>
        <translation>SoundFont no encontrada: %1. Indique un archivo .sf2 existente (--soundfont o %2), o ninguno de los dos para usar la SoundFont del sistema (sudo apt-get install fluid-soundfont-gm).</translation>
    </message>
    <message>
        <source>Could not load the SoundFont %1: it is not a valid .sf2/.sf3 file. Name a working SoundFont with --soundfont or %2.</source>
        <translation>No se ha podido cargar la SoundFont %1: no es un archivo .sf2/.sf3 válido. Indique una SoundFont que funcione con --soundfont o %2.</translation>
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
    <name>main</name>
    <message>
        <source>Qt&apos;s Wayland platform plugin is not installed: install the Debian package qt6-wayland (or set DISPLAY to run through XWayland).</source>
        <translation>el plugin de plataforma Wayland de Qt no está instalado: instale el paquete de Debian qt6-wayland (o defina DISPLAY para pasar por XWayland).</translation>
    </message>
    <message>
        <source>the display cannot be reached (%1). Run it from a desktop session, or render to a file with --render.</source>
        <translation>no se puede acceder a la pantalla (%1). Ejecute Quillotone desde una sesión de escritorio o renderice a un archivo con --render.</translation>
    </message>
    <message>
        <source>cannot write to standard output: %1</source>
        <translation>no se puede escribir en la salida estándar: %1</translation>
    </message>
    <message>
        <source>the render failed: %1</source>
        <translation>el renderizado ha fallado: %1</translation>
    </message>
    <message>
        <source>no display to open the window on. Run it from a desktop session (DISPLAY or WAYLAND_DISPLAY set), or render to a file with --render.</source>
        <translation>no hay ninguna pantalla en la que abrir la ventana. Ejecute Quillotone desde una sesión de escritorio (con DISPLAY o WAYLAND_DISPLAY definida) o renderice a un archivo con --render.</translation>
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
    <message>
        <source>MIDI output on %1, port %2</source>
        <translation>salida MIDI en %1, puerto %2</translation>
    </message>
    <message>
        <source>playing the %1, seed %2 (again: quillotone --mode %3 --seed %2)</source>
        <translation>tocando: %1, semilla %2 (para volver a oírla: quillotone --mode %3 --seed %2)</translation>
    </message>
    <message>
        <source>the %1 server of the MIDI output went away; looking for it again</source>
        <translation>el servidor %1 de la salida MIDI ha desaparecido; se vuelve a buscar</translation>
    </message>
    <message>
        <source>the MIDI output is back, port %1</source>
        <translation>la salida MIDI ha vuelto, puerto %1</translation>
    </message>
    <message>
        <source>an unknown error</source>
        <translation>un error desconocido</translation>
    </message>
    <message>
        <source>unexpected error: %1</source>
        <translation>error inesperado: %1</translation>
    </message>
    <message>
        <source>the MIDI output&apos;s server does not answer (JACK stopped or hung?); the port opens once it does</source>
        <translation>el servidor de la salida MIDI no responde (¿JACK detenido o bloqueado?); el puerto se abrirá en cuanto responda</translation>
    </message>
    <message>
        <source>The MIDI output&apos;s server does not answer: JACK may be stopped or hung. Quillotone plays through its own synthesizer, and the port opens as soon as the server answers.</source>
        <translation>El servidor de la salida MIDI no responde: puede que JACK esté detenido o bloqueado. Quillotone toca con su propio sintetizador, y el puerto se abrirá en cuanto el servidor responda.</translation>
    </message>
    <message>
        <source>The MIDI output is open: port %1.</source>
        <translation>La salida MIDI está abierta: puerto %1.</translation>
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
