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
</context>
<context>
    <name>MidiOutput</name>
    <message>
        <source>The MIDI output port could not be opened%1. It needs a running JACK server (jackd from the Debian package jackd2, or PipeWire&apos;s with pw-jack) or the ALSA sequencer (the snd-seq kernel module: sudo modprobe snd-seq).</source>
        <translation>Le port de sortie MIDI n’a pas pu être ouvert%1. Il lui faut un serveur JACK en marche (jackd, du paquet Debian jackd2, ou celui de PipeWire avec pw-jack) ou le séquenceur ALSA (le module noyau snd-seq&#xa0;: sudo modprobe snd-seq).</translation>
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
    <name>Synth</name>
    <message>
        <source>No General MIDI SoundFont found. Install one with: sudo apt-get install fluid-soundfont-gm (or name a .sf2 file with --soundfont or QUILLOTONE_SOUNDFONT).</source>
        <translation>Aucune SoundFont General MIDI trouvée. Installez-en une avec&#xa0;: sudo apt-get install fluid-soundfont-gm (ou indiquez un fichier .sf2 avec --soundfont ou QUILLOTONE_SOUNDFONT).</translation>
    </message>
    <message>
        <source>The synthesizer could not be started (unknown error).</source>
        <translation>Le synthétiseur n’a pas pu démarrer (erreur inconnue).</translation>
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
