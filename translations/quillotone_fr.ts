<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>AudioOutput</name>
    <message>
        <source>No sound server to play on: start PulseAudio or PipeWire (packages pulseaudio, pipewire-pulse). Quillotone plays on silently until one is there.</source>
        <translation>Aucun serveur de son pour jouer&#xa0;: démarrez PulseAudio ou PipeWire (paquets pulseaudio, pipewire-pulse). Quillotone continue en silence jusqu’à ce qu’il y en ait un.</translation>
    </message>
    <message>
        <source>The sound output stopped: the sound server went away, or the audio device was removed. Quillotone plays on silently, and is heard again as soon as the sound server is back.</source>
        <translation>La sortie audio s’est arrêtée&#xa0;: le serveur de son a disparu, ou le périphérique audio a été retiré. Quillotone continue de jouer en silence et se fait entendre de nouveau dès le retour du serveur de son.</translation>
    </message>
    <message>
        <source>The sound output is back: Quillotone is heard again.</source>
        <translation>La sortie audio est de retour&#xa0;: on entend de nouveau Quillotone.</translation>
    </message>
    <message>
        <source>the sound output stopped: the sound server went away. Playing on silently until it is back</source>
        <translation>la sortie audio s’est arrêtée&#xa0;: le serveur de son a disparu. Quillotone continue de jouer en silence jusqu’à son retour</translation>
    </message>
    <message>
        <source>the sound output is back</source>
        <translation>la sortie audio est de retour</translation>
    </message>
    <message>
        <source>the sound server does not answer (stopped or hung?). Playing on silently until it does</source>
        <translation>le serveur de son ne répond pas (arrêté ou bloqué&#xa0;?). Quillotone continue de jouer en silence jusqu’à ce qu’il réponde</translation>
    </message>
    <message>
        <source>The sound server does not answer: it may be stopped or hung. Quillotone plays on silently, and is heard again as soon as the server answers.</source>
        <translation>Le serveur de son ne répond pas&#xa0;: il est peut-être arrêté ou bloqué. Quillotone continue de jouer en silence et se fait entendre de nouveau dès que le serveur répond.</translation>
    </message>
    <message>
        <source>No JACK server to play on: start jackd (package jackd2), or run Quillotone under pw-jack. Quillotone plays on silently until one is there.</source>
        <translation>Aucun serveur JACK pour jouer&#xa0;: démarrez jackd (paquet jackd2), ou lancez Quillotone sous pw-jack. Quillotone continue en silence jusqu’à ce qu’il y en ait un.</translation>
    </message>
    <message>
        <source>The sound card could not be opened with ALSA: another program may hold it. Quillotone plays on silently until it opens.</source>
        <translation>La carte son n’a pas pu être ouverte avec ALSA&#xa0;: un autre programme l’occupe peut-être. Quillotone continue en silence jusqu’à ce qu’elle s’ouvre.</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>%1 (see quillotone --help)</source>
        <translation>%1 (voir quillotone --help)</translation>
    </message>
    <message>
        <source>unexpected argument %1</source>
        <translation>argument inattendu %1</translation>
    </message>
    <message>
        <source>or</source>
        <comment>joins the last two of a list: mp3 or mid</comment>
        <translation>ou</translation>
    </message>
    <message>
        <source>unknown mode %1; choose one of: %2</source>
        <translation>mode inconnu %1&#xa0;; choisissez parmi&#xa0;: %2</translation>
    </message>
    <message>
        <source>--seed needs a whole number from 0 to 18446744073709551615 in digits, not %1</source>
        <translation>--seed attend un nombre entier de 0 à 18446744073709551615 écrit en chiffres, et non %1</translation>
    </message>
    <message>
        <source>unknown MIDI system %1 for --midi-out; choose jack or alsa</source>
        <translation>système MIDI inconnu %1 pour --midi-out&#xa0;; choisissez jack ou alsa</translation>
    </message>
    <message>
        <source>--midi-clock needs --midi-out, the port it is sent on</source>
        <translation>--midi-clock nécessite --midi-out, le port sur lequel l’horloge est envoyée</translation>
    </message>
    <message>
        <source>--no-synth needs --midi-out, or nothing would sound</source>
        <translation>--no-synth nécessite --midi-out, sinon on n’entendrait rien</translation>
    </message>
    <message>
        <source>--cycles, --seconds and --format go with --render</source>
        <translation>--cycles, --seconds et --format vont avec --render</translation>
    </message>
    <message>
        <source>unknown format %1; choose %2</source>
        <translation>format inconnu %1&#xa0;; choisissez %2</translation>
    </message>
    <message>
        <source>--render - (standard output) needs --format: %1</source>
        <translation>--render - (sortie standard) nécessite --format&#xa0;: %1</translation>
    </message>
    <message>
        <source>cannot render to %1: the file name must end in %2, or name the format with --format</source>
        <translation>impossible de faire le rendu vers %1&#xa0;: le nom du fichier doit se terminer par %2, ou indiquez le format avec --format</translation>
    </message>
    <message>
        <source>--render and --midi-out exclude each other</source>
        <translation>--render et --midi-out s’excluent mutuellement</translation>
    </message>
    <message>
        <source>--render needs either --cycles or --seconds (one of them)</source>
        <translation>--render nécessite soit --cycles, soit --seconds (l’un des deux)</translation>
    </message>
    <message>
        <source>--cycles needs a whole number from 1 to %1 in digits, not %2</source>
        <translation>--cycles attend un nombre entier de 1 à %1 écrit en chiffres, et non %2</translation>
    </message>
    <message>
        <source>--seconds needs a number above 0 and at most %1 (%2 hours) in digits, with a decimal point if need be, not %3</source>
        <translation>--seconds attend un nombre supérieur à 0 et d’au plus %1 (%2 heures) écrit en chiffres, avec si besoin un point décimal (pas de virgule), et non %3</translation>
    </message>
    <message>
        <source>unknown sound system %1 for --audio; choose jack, pulse or alsa</source>
        <translation>système audio %1 inconnu pour --audio&#xa0;; choisissez jack, pulse ou alsa</translation>
    </message>
    <message>
        <source>--audio plays the built-in synthesizer live: leave out --no-synth and --render</source>
        <translation>--audio fait jouer le synthétiseur intégré en direct&#xa0;: omettez --no-synth et --render</translation>
    </message>
    <message>
        <source>--no-connect goes with --audio jack</source>
        <translation>--no-connect va avec --audio jack</translation>
    </message>
    <message>
        <source>--midi-out=alsa does not go with --audio jack: the MIDI port is then on the synth&apos;s JACK client, on JACK&apos;s clock</source>
        <translation>--midi-out=alsa ne va pas avec --audio jack&#xa0;: le port MIDI est alors sur le client JACK du synthétiseur, à l’horloge de JACK</translation>
    </message>
</context>
<context>
    <name>MidiOutput</name>
    <message>
        <source>The MIDI output port could not be opened%1. It needs a running JACK server (jackd from the Debian package jackd2, or PipeWire&apos;s with pw-jack) or the ALSA sequencer (the snd-seq kernel module: sudo modprobe snd-seq).</source>
        <translation>Le port de sortie MIDI n’a pas pu être ouvert%1. Il lui faut un serveur JACK en marche (jackd, du paquet Debian jackd2, ou celui de PipeWire avec pw-jack) ou le séquenceur ALSA (le module noyau snd-seq&#xa0;: sudo modprobe snd-seq).</translation>
    </message>
    <message>
        <source>--midi-out=jack: no JACK server runs; start one (jackd from the Debian package jackd2, or PipeWire&apos;s with pw-jack)</source>
        <translation>--midi-out=jack&#xa0;: aucun serveur JACK n’est en marche&#xa0;; démarrez-en un (jackd, du paquet Debian jackd2, ou celui de PipeWire avec pw-jack)</translation>
    </message>
    <message>
        <source>--midi-out=alsa: the ALSA sequencer could not be opened%1; it needs the snd-seq kernel module (sudo modprobe snd-seq)</source>
        <translation>--midi-out=alsa&#xa0;: le séquenceur ALSA n’a pas pu être ouvert%1&#xa0;; il lui faut le module noyau snd-seq (sudo modprobe snd-seq)</translation>
    </message>
</context>
<context>
    <name>Modes</name>
    <message>
        <source>dorian mode</source>
        <translation>mode dorien</translation>
    </message>
    <message>
        <source>phrygian mode</source>
        <translation>mode phrygien</translation>
    </message>
    <message>
        <source>lydian mode</source>
        <translation>mode lydien</translation>
    </message>
    <message>
        <source>mixolydian mode</source>
        <translation>mode mixolydien</translation>
    </message>
    <message>
        <source>aeolian mode</source>
        <translation>mode éolien</translation>
    </message>
    <message>
        <source>ionian mode</source>
        <translation>mode ionien</translation>
    </message>
    <message>
        <source>blues scale</source>
        <translation>gamme blues</translation>
    </message>
    <message>
        <source>pentatonic scale</source>
        <translation>gamme pentatonique</translation>
    </message>
</context>
<context>
    <name>PulseStream</name>
    <message>
        <source>Melody</source>
        <translation>Mélodie</translation>
    </message>
</context>
<context>
    <name>Render</name>
    <message>
        <source>writing failed: %1</source>
        <translation>échec de l’écriture&#xa0;: %1</translation>
    </message>
    <message>
        <source>Rendering: %1 %</source>
        <translation>Rendu&#xa0;: %1&#xa0;%</translation>
    </message>
    <message>
        <source>the reader went away before the end (the pipe was closed); the render stopped</source>
        <translation>le programme qui lisait s’est arrêté avant la fin (le tube a été fermé)&#xa0;; le rendu a été interrompu</translation>
    </message>
    <message>
        <source>standard output</source>
        <translation>la sortie standard</translation>
    </message>
    <message>
        <source>cannot render to %1: %2</source>
        <translation>impossible de faire le rendu vers %1&#xa0;: %2</translation>
    </message>
    <message>
        <source>no such mode</source>
        <translation>ce mode n’existe pas</translation>
    </message>
    <message>
        <source>%1 is a FIFO with no reader yet; the render waits for one (Ctrl+C to cancel)</source>
        <translation>%1 est une FIFO que personne ne lit encore&#xa0;; le rendu attend un lecteur (Ctrl+C pour annuler)</translation>
    </message>
    <message>
        <source>it is the SoundFont in use (%1); render to another name</source>
        <translation>c’est la SoundFont utilisée (%1)&#xa0;; faites le rendu sous un autre nom</translation>
    </message>
    <message>
        <source>seed %1</source>
        <translation>graine %1</translation>
    </message>
    <message>
        <source>the name is too long (at most 255 bytes a name, 4095 a path)</source>
        <translation>le nom est trop long (255 octets au plus pour un nom, 4095 pour un chemin)</translation>
    </message>
    <message>
        <source>it is a folder</source>
        <translation>c’est un dossier</translation>
    </message>
    <message>
        <source>it is a disk; a render is not written over one</source>
        <translation>c’est un disque&#xa0;; un rendu n’est jamais écrit par-dessus un disque</translation>
    </message>
    <message>
        <source>descriptor %1 is not open; open it for writing (&gt; song.flac) or name a file</source>
        <translation>le descripteur %1 n’est pas ouvert&#xa0;; ouvrez-le en écriture (&gt; song.flac) ou indiquez un fichier</translation>
    </message>
    <message>
        <source>descriptor %1 is open only for reading; open it for writing (&gt; song.flac) or name a file</source>
        <translation>le descripteur %1 n’est ouvert qu’en lecture&#xa0;; ouvrez-le en écriture (&gt; song.flac) ou indiquez un fichier</translation>
    </message>
    <message>
        <source>it is a terminal; send the render to a file or a pipe (&gt; song.flac, or | aplay)</source>
        <translation>c’est un terminal&#xa0;; envoyez le rendu vers un fichier ou un tube (&gt; song.flac, ou | aplay)</translation>
    </message>
    <message>
        <source>the file there is another user&apos;s, in a folder where only a file&apos;s owner may replace it (the sticky bit); choose another name</source>
        <translation>le fichier existant appartient à un autre utilisateur, dans un dossier où seul le propriétaire d’un fichier peut le remplacer (sticky bit)&#xa0;; choisissez un autre nom</translation>
    </message>
    <message>
        <source>cannot keep the permissions of the file there: %1</source>
        <translation>impossible de conserver les permissions du fichier existant&#xa0;: %1</translation>
    </message>
    <message>
        <source>cannot keep the access control list of the file there: %1</source>
        <translation>impossible de conserver la liste de contrôle d’accès du fichier existant&#xa0;: %1</translation>
    </message>
    <message>
        <source>the file is in place, but its folder could not be written to the disk: %1</source>
        <translation>le fichier est en place, mais son dossier n’a pas pu être écrit sur le disque&#xa0;: %1</translation>
    </message>
    <message>
        <source>cannot start the file: %1</source>
        <translation>impossible d’écrire le début du fichier&#xa0;: %1</translation>
    </message>
</context>
<context>
    <name>Synth</name>
    <message>
        <source>No General MIDI SoundFont found. Install one with: sudo apt-get install fluid-soundfont-gm (or name a .sf2 file with --soundfont or QUILLOTONE_SOUNDFONT).</source>
        <translation>Aucune SoundFont General MIDI trouvée. Installez-en une avec&#xa0;: sudo apt-get install fluid-soundfont-gm (ou indiquez un fichier .sf2 avec --soundfont ou QUILLOTONE_SOUNDFONT).</translation>
    </message>
    <message>
        <source>The synthesizer could not be started (unknown error).</source>
        <translation>Le synthétiseur n’a pas pu démarrer (erreur inconnue).</translation>
    </message>
    <message>
        <source>Choose a working .sf2/.sf3 file (--soundfont, or QUILLOTONE_SOUNDFONT), or leave both unset to use the system&apos;s (sudo apt-get install fluid-soundfont-gm).</source>
        <translation>Choisissez un fichier .sf2/.sf3 qui fonctionne (--soundfont, ou QUILLOTONE_SOUNDFONT), ou n’indiquez ni l’un ni l’autre pour utiliser la SoundFont du système (sudo apt-get install fluid-soundfont-gm).</translation>
    </message>
    <message>
        <source>The SoundFont %1 cannot be read: %2.</source>
        <translation>La SoundFont %1 ne peut pas être lue&#xa0;: %2.</translation>
    </message>
    <message>
        <source>The SoundFont %1 has no sample data (its &quot;smpl&quot; chunk is empty).</source>
        <translation>La SoundFont %1 ne contient aucune donnée d’échantillon (son bloc &quot;smpl&quot; est vide).</translation>
    </message>
    <message>
        <source>The SoundFont %1 has no sample data (its &quot;smpl&quot; chunk is missing).</source>
        <translation>La SoundFont %1 ne contient aucune donnée d’échantillon (son bloc &quot;smpl&quot; est absent).</translation>
    </message>
    <message>
        <source>The SoundFont %1 is damaged: its sample headers are missing.</source>
        <translation>La SoundFont %1 est endommagée&#xa0;: ses en-têtes d’échantillons sont absents.</translation>
    </message>
    <message>
        <source>The SoundFont %1 is damaged: its sample %2 lies outside its sample data.</source>
        <translation>La SoundFont %1 est endommagée&#xa0;: son échantillon %2 se trouve hors de ses données d’échantillons.</translation>
    </message>
    <message>
        <source>SoundFont not found: %1.</source>
        <translation>SoundFont introuvable&#xa0;: %1.</translation>
    </message>
    <message>
        <source>The SoundFont %1 cannot be read: permission denied (check the file&apos;s permissions).</source>
        <translation>La SoundFont %1 ne peut pas être lue&#xa0;: permission refusée (vérifiez les permissions du fichier).</translation>
    </message>
    <message>
        <source>The SoundFont %1 cannot be opened: %2.</source>
        <translation>La SoundFont %1 ne peut pas être ouverte&#xa0;: %2.</translation>
    </message>
    <message>
        <source>%1 is a folder, not a SoundFont file.</source>
        <translation>%1 est un dossier, pas un fichier SoundFont.</translation>
    </message>
    <message>
        <source>%1 is not a regular file (a pipe or a device?), so not a SoundFont.</source>
        <translation>%1 n’est pas un fichier ordinaire (un tube ou un périphérique&#xa0;?), donc pas une SoundFont.</translation>
    </message>
    <message>
        <source>The SoundFont %1 is empty (0 bytes).</source>
        <translation>La SoundFont %1 est vide (0 octet).</translation>
    </message>
    <message>
        <source>%1 is not a SoundFont: it does not begin like a .sf2/.sf3 file.</source>
        <translation>%1 n’est pas une SoundFont&#xa0;: ce fichier ne commence pas comme un fichier .sf2/.sf3.</translation>
    </message>
    <message>
        <source>The SoundFont %1 is incomplete: it has %2 bytes where its header promises %3. It was probably cut short while being copied or downloaded.</source>
        <translation>La SoundFont %1 est incomplète&#xa0;: elle fait %2 octets alors que son en-tête en annonce %3. Elle a sans doute été tronquée lors d’une copie ou d’un téléchargement.</translation>
    </message>
    <message>
        <source>The SoundFont %1 is damaged: its &quot;%2&quot; part is missing or runs past the end of the file.</source>
        <translation>La SoundFont %1 est endommagée&#xa0;: sa partie &quot;%2&quot; est absente ou dépasse la fin du fichier.</translation>
    </message>
    <message>
        <source>SoundFont not found: %1. Name an existing .sf2 file (--soundfont or %2), or neither to use the system&apos;s (sudo apt-get install fluid-soundfont-gm).</source>
        <translation>SoundFont introuvable&#xa0;: %1. Indiquez un fichier .sf2 existant (--soundfont ou %2), ou ni l’un ni l’autre pour utiliser la SoundFont du système (sudo apt-get install fluid-soundfont-gm).</translation>
    </message>
    <message>
        <source>Could not load the SoundFont %1: it is not a valid .sf2/.sf3 file. Name a working SoundFont with --soundfont or %2.</source>
        <translation>Impossible de charger la SoundFont %1&#xa0;: ce n’est pas un fichier .sf2/.sf3 valide. Indiquez une SoundFont qui fonctionne avec --soundfont ou %2.</translation>
    </message>
</context>
<context>
    <name>Texts</name>
    <message>
        <source>Thanks for listening to this quillotone.</source>
        <translation>Merci d’avoir écouté ce quillotone.</translation>
    </message>
    <message>
        <source>If you enjoyed it and would like to make a donation of 49p (£0.49) then please visit</source>
        <translation>Si vous l’avez aimé et souhaitez faire un don de 49 pence (0,49 £), rendez-vous sur</translation>
    </message>
    <message>
        <source>Thank you.</source>
        <translation>Merci.</translation>
    </message>
    <message>
        <source>Quillotone plays a melody using notes from a selected mode or scale.</source>
        <translation>Quillotone joue une mélodie avec les notes du mode ou de la gamme choisis.</translation>
    </message>
    <message>
        <source>There are eight choices of mode or scale, the six principal ecclesiatistical modes (dorian, phrygian, lydian, mixolydian, aeolian, ionian as well as the blues scale and the pentatonic scale).</source>
        <translation>Huit modes et gammes sont proposés&#xa0;: les six principaux modes ecclésiastiques (dorien, phrygien, lydien, mixolydien, éolien, ionien), ainsi que la gamme blues et la gamme pentatonique.</translation>
    </message>
    <message>
        <source>The rhythm of the melody is a transcription of a melody that I heard whilst be put ‘on hold’ during a recent telephone call.</source>
        <translation>Le rythme de la mélodie est la transcription d’une mélodie que j’ai entendue récemment, mis «&#xa0;en attente&#xa0;» lors d’un appel téléphonique.</translation>
    </message>
    <message>
        <source>The machine will run indefinitely until stopped by the user.</source>
        <translation>La machine joue indéfiniment, jusqu’à ce que l’utilisateur l’arrête.</translation>
    </message>
    <message>
        <source>Quillotone by the Quillotone developers</source>
        <translation>Quillotone, par les développeurs de Quillotone</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Qt&apos;s Wayland platform plugin is not installed: install the Debian package qt6-wayland (or set DISPLAY to run through XWayland).</source>
        <translation>le plugin de plateforme Wayland de Qt n’est pas installé&#xa0;: installez le paquet Debian qt6-wayland (ou définissez DISPLAY pour passer par XWayland).</translation>
    </message>
    <message>
        <source>the display cannot be reached (%1). Run it from a desktop session, or render to a file with --render.</source>
        <translation>impossible de joindre l’affichage (%1). Lancez Quillotone depuis une session de bureau, ou faites le rendu dans un fichier avec --render.</translation>
    </message>
    <message>
        <source>cannot write to standard output: %1</source>
        <translation>impossible d’écrire sur la sortie standard&#xa0;: %1</translation>
    </message>
    <message>
        <source>the render failed: %1</source>
        <translation>le rendu a échoué&#xa0;: %1</translation>
    </message>
    <message>
        <source>no display to open the window on. Run it from a desktop session (DISPLAY or WAYLAND_DISPLAY set), or render to a file with --render.</source>
        <translation>aucun affichage où ouvrir la fenêtre. Lancez Quillotone depuis une session de bureau (DISPLAY ou WAYLAND_DISPLAY défini), ou faites le rendu dans un fichier avec --render.</translation>
    </message>
</context>
<context>
    <name>quillotone::App</name>
    <message>
        <source>Quillotone plays through its own synthesizer instead.</source>
        <translation>Quillotone joue à la place avec son synthétiseur intégré.</translation>
    </message>
    <message>
        <source>The %1 server that carries Quillotone&apos;s MIDI output went away. %2 The port comes back by itself as soon as the server is running again.</source>
        <translation>Le serveur %1 qui porte la sortie MIDI de Quillotone a disparu. %2 Le port revient de lui-même dès que le serveur tourne de nouveau.</translation>
    </message>
    <message>
        <source>The built-in synthesizer plays on.</source>
        <translation>Le synthétiseur intégré continue de jouer.</translation>
    </message>
    <message>
        <source>Nothing is heard meanwhile: the built-in synthesizer is off (--no-synth).</source>
        <translation>On n’entend rien en attendant&#xa0;: le synthétiseur intégré est désactivé (--no-synth).</translation>
    </message>
    <message>
        <source>The MIDI output is back: port %1.</source>
        <translation>La sortie MIDI est de retour&#xa0;: port %1.</translation>
    </message>
    <message>
        <source>Quillotone keeps working, but plays silently.</source>
        <translation>Quillotone continue de fonctionner, mais en silence.</translation>
    </message>
    <message>
        <source>Quillotone met an unexpected error:</source>
        <translation>Quillotone a rencontré une erreur inattendue&#xa0;:</translation>
    </message>
    <message>
        <source>MIDI output on %1, port %2</source>
        <translation>sortie MIDI sur %1, port %2</translation>
    </message>
    <message>
        <source>playing the %1, seed %2 (again: quillotone --mode %3 --seed %2)</source>
        <translation>joue&#xa0;: %1, graine %2 (pour la réécouter&#xa0;: quillotone --mode %3 --seed %2)</translation>
    </message>
    <message>
        <source>the %1 server of the MIDI output went away; looking for it again</source>
        <translation>le serveur %1 de la sortie MIDI a disparu&#xa0;; nouvelle recherche en cours</translation>
    </message>
    <message>
        <source>the MIDI output is back, port %1</source>
        <translation>la sortie MIDI est de retour, port %1</translation>
    </message>
    <message>
        <source>an unknown error</source>
        <translation>une erreur inconnue</translation>
    </message>
    <message>
        <source>unexpected error: %1</source>
        <translation>erreur inattendue&#xa0;: %1</translation>
    </message>
    <message>
        <source>the MIDI output&apos;s server does not answer (JACK stopped or hung?); the port opens once it does</source>
        <translation>le serveur de la sortie MIDI ne répond pas (JACK arrêté ou bloqué&#xa0;?)&#xa0;; le port s’ouvrira dès qu’il répondra</translation>
    </message>
    <message>
        <source>The MIDI output&apos;s server does not answer: JACK may be stopped or hung. Quillotone plays through its own synthesizer, and the port opens as soon as the server answers.</source>
        <translation>Le serveur de la sortie MIDI ne répond pas&#xa0;: JACK est peut-être arrêté ou bloqué. Quillotone joue avec son propre synthétiseur, et le port s’ouvrira dès que le serveur répondra.</translation>
    </message>
    <message>
        <source>The MIDI output is open: port %1.</source>
        <translation>La sortie MIDI est ouverte&#xa0;: port %1.</translation>
    </message>
</context>
<context>
    <name>quillotone::MenuBar1</name>
    <message>
        <source>About Quillotone</source>
        <translation>À propos de Quillotone</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quitter</translation>
    </message>
</context>
<context>
    <name>quillotone::Window1</name>
    <message>
        <source>start</source>
        <translation>démarrer</translation>
    </message>
    <message>
        <source>stop</source>
        <translation>arrêter</translation>
    </message>
    <message>
        <source>Playing</source>
        <translation>Lecture en cours</translation>
    </message>
    <message>
        <source>Mode or scale</source>
        <translation>Mode ou gamme</translation>
    </message>
</context>
</TS>
