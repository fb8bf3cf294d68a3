<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>PasswordStrength</name>
    <message>
        <source>Very weak</source>
        <translation>Sehr schwach</translation>
    </message>
    <message>
        <source>Weak</source>
        <translation>Schwach</translation>
    </message>
    <message>
        <source>Fair</source>
        <translation>Mittel</translation>
    </message>
    <message>
        <source>Strong</source>
        <translation>Stark</translation>
    </message>
    <message>
        <source>Very strong</source>
        <translation>Sehr stark</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>quelvane: %1
Try &apos;quelvane --help&apos; for more information.
</source>
        <translation>quelvane: %1
Mehr dazu unter &apos;quelvane --help&apos;.
</translation>
    </message>
    <message>
        <source>FILE</source>
        <translation>DATEI</translation>
    </message>
    <message>
        <source>[FILE...] [-- FILE...]</source>
        <translation>[DATEI...] [-- DATEI...]</translation>
    </message>
    <message>
        <source>Encrypts a text with a password into hex ciphertext and back. Each FILE is loaded in order: .QvH as hex text, .age (armored or binary) as an age text, .TxT as text, .QvP as the password.</source>
        <translation>Verschlüsselt einen Text mit einem Passwort in Hex-Geheimtext und zurück. Jede DATEI wird der Reihe nach geladen: .QvH als Hex-Text, .age (als Text oder binär) als age-Text, .TxT als Text, .QvP als Passwort.</translation>
    </message>
    <message>
        <source>A .QvH, .age, .TxT or .QvP file to load.</source>
        <translation>Eine .QvH-, .age-, .TxT- oder .QvP-Datei zum Laden.</translation>
    </message>
</context>
<context>
    <name>quelvane::AgeFormat</name>
    <message>
        <source>it cannot be read</source>
        <translation>sie kann nicht gelesen werden</translation>
    </message>
</context>
<context>
    <name>quelvane::AgeText</name>
    <message>
        <source>The password holds half of a surrogate pair, which has no UTF-8. Nothing was changed.</source>
        <translation>Das Passwort enthält die Hälfte eines Surrogatpaars, die kein UTF-8 hat. Nichts wurde geändert.</translation>
    </message>
    <message>
        <source>The text holds half of a surrogate pair, which has no UTF-8. Nothing was changed.</source>
        <translation>Der Text enthält die Hälfte eines Surrogatpaars, die kein UTF-8 hat. Nichts wurde geändert.</translation>
    </message>
    <message>
        <source>The text could not be encrypted: %1</source>
        <translation>Der Text konnte nicht verschlüsselt werden: %1</translation>
    </message>
    <message>
        <source>The password holds half of a surrogate pair, which has no UTF-8.</source>
        <translation>Das Passwort enthält die Hälfte eines Surrogatpaars, die kein UTF-8 hat.</translation>
    </message>
    <message>
        <source>Wrong password: no stanza of the age text opens with it (%1).</source>
        <translation>Falsches Passwort: kein Eintrag des age-Textes öffnet sich damit (%1).</translation>
    </message>
    <message>
        <source>Refused: %1.</source>
        <translation>Abgelehnt: %1.</translation>
    </message>
    <message>
        <source>The age text was changed or cut: %1. Nothing was decrypted.</source>
        <translation>Der age-Text wurde verändert oder gekürzt: %1. Nichts wurde entschlüsselt.</translation>
    </message>
    <message>
        <source>This is no valid age text: %1.</source>
        <translation>Das ist kein gültiger age-Text: %1.</translation>
    </message>
    <message>
        <source>The age text could not be decrypted: %1.</source>
        <translation>Der age-Text konnte nicht entschlüsselt werden: %1.</translation>
    </message>
    <message>
        <source>The age text holds data that is not UTF-8 text. Decrypt it with quelvane-cli.</source>
        <translation>Der age-Text enthält Daten, die kein UTF-8-Text sind. Entschlüsseln Sie ihn mit quelvane-cli.</translation>
    </message>
</context>
<context>
    <name>quelvane::BackgroundWork</name>
    <message>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <source>Cancelling...</source>
        <translation>Wird abgebrochen …</translation>
    </message>
    <message>
        <source>Escape cancels</source>
        <translation>Esc bricht ab</translation>
    </message>
</context>
<context>
    <name>quelvane::FileDialog</name>
    <message>
        <source>All Files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
</context>
<context>
    <name>quelvane::Info1</name>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source> Quelvane Encryption And Decryption Encrypts To a Hex Format</source>
        <translation> Quelvane – Ver- und Entschlüsselung, verschlüsselt in ein Hex-Format</translation>
    </message>
    <message>
        <source> Description</source>
        <translation> Beschreibung</translation>
    </message>
    <message>
        <source> Quelvane Is A Complete, High Security Text Encryptor Based On Blowfish Encryption</source>
        <translation> Quelvane ist ein vollständiger Textverschlüssler hoher Sicherheit auf der Grundlage von Blowfish</translation>
    </message>
    <message>
        <source> It Is An Alternative To A Password Protected Archive File, With Some Differences</source>
        <translation> Es ist eine Alternative zu einem passwortgeschützten Archiv, mit einigen Unterschieden</translation>
    </message>
    <message>
        <source> It Is Not A Compressor: It Is Primarily A Text Encryptor Of Very High Security</source>
        <translation> Es ist kein Packprogramm, sondern vor allem ein Textverschlüssler sehr hoher Sicherheit</translation>
    </message>
    <message>
        <source> The Longer Your Password The More Security You Can Paste Your PassWord In The Box or Generate Random PassWord max 448</source>
        <translation> Je länger Ihr Passwort, desto sicherer. Fügen Sie es in das Feld ein oder erzeugen Sie ein zufälliges, höchstens 448 Zeichen</translation>
    </message>
    <message>
        <source> Quelvane Version %1  -  Provided As Is, Without Warranty Of Any Kind</source>
        <translation> Quelvane Version %1  -  Bereitgestellt wie besehen, ohne jede Gewährleistung</translation>
    </message>
</context>
<context>
    <name>quelvane::Platform</name>
    <message>
        <source>core files stay allowed (%1)</source>
        <translation>Speicherabzüge (core files) bleiben erlaubt (%1)</translation>
    </message>
    <message>
        <source>other processes may still attach (%1)</source>
        <translation>andere Prozesse können sich weiterhin anhängen (%1)</translation>
    </message>
    <message>
        <source>Cannot protect the program&apos;s memory: %1.</source>
        <translation>Der Speicher des Programms lässt sich nicht schützen: %1.</translation>
    </message>
</context>
<context>
    <name>quelvane::ShowPasswordButton</name>
    <message>
        <source>Hide password</source>
        <translation>Passwort verbergen</translation>
    </message>
    <message>
        <source>Show password</source>
        <translation>Passwort zeigen</translation>
    </message>
</context>
<context>
    <name>quelvane::StrengthMeter</name>
    <message>
        <source>Password strength</source>
        <translation>Passwortstärke</translation>
    </message>
</context>
<context>
    <name>quelvane::TemporaryFolder</name>
    <message>
        <source>cannot mark %1: %2</source>
        <translation>%1 lässt sich nicht kennzeichnen: %2</translation>
    </message>
    <message>
        <source>cannot lock %1: %2</source>
        <translation>%1 lässt sich nicht sperren: %2</translation>
    </message>
</context>
<context>
    <name>quelvane::TextCipher</name>
    <message>
        <source>no text can have been encrypted with it</source>
        <translation>kann damit kein Text verschlüsselt worden sein</translation>
    </message>
    <message>
        <source>the input changed while it was read</source>
        <translation>die Eingabe hat sich beim Lesen geändert</translation>
    </message>
    <message>
        <source>the input cannot be read: %1</source>
        <translation>die Eingabe lässt sich nicht lesen: %1</translation>
    </message>
    <message>
        <source>the input is too large: a text of at most 2 GiB less 23 bytes can be encrypted (%1 bytes)</source>
        <translation>die Eingabe ist zu groß: Verschlüsselt werden kann ein Text von höchstens 2 GiB weniger 23 Bytes (%1 Bytes)</translation>
    </message>
    <message>
        <source>The password is empty.</source>
        <translation>Das Passwort ist leer.</translation>
    </message>
    <message>
        <source>The work text holds half of a character (a lone surrogate, U+%1) at %2, which has no UTF-8 form, so the text cannot be encrypted. Nothing was changed.</source>
        <translation>Der Arbeitstext enthält bei %2 ein halbes Zeichen (ein einzelnes Surrogat, U+%1) ohne UTF-8-Form, daher lässt sich der Text nicht verschlüsseln. Es wurde nichts geändert.</translation>
    </message>
    <message>
        <source>%1 (the temporary file in %2 could not be written%3). Nothing was changed.</source>
        <translation>%1 (die temporäre Datei in %2 ließ sich nicht schreiben%3). Es wurde nichts geändert.</translation>
    </message>
    <message>
        <source>Cannot make a private temporary folder for the %1 (%2). Nothing was changed.</source>
        <translation>Für die %1 lässt sich kein privater temporärer Ordner anlegen (%2). Es wurde nichts geändert.</translation>
    </message>
    <message>
        <source>it cannot be used as the key</source>
        <translation>kann es nicht als Schlüssel dienen</translation>
    </message>
    <message>
        <source>The text could not be encrypted</source>
        <translation>Der Text ließ sich nicht verschlüsseln</translation>
    </message>
    <message>
        <source>The hex text could not be decrypted</source>
        <translation>Der Hex-Text ließ sich nicht entschlüsseln</translation>
    </message>
    <message>
        <source>The password&apos;s character number %1 is half of a character (a lone surrogate), which has no UTF-8 form, so %2.</source>
        <translation>Das Zeichen Nummer %1 des Passworts ist ein halbes Zeichen (ein einzelnes Surrogat) ohne UTF-8-Form, daher %2.</translation>
    </message>
    <message>
        <source>The password takes %1 bytes as a key (in UTF-8, as it holds characters beyond Windows-1252); a key holds at most 448 bytes, so %2.</source>
        <translation>Das Passwort ergibt einen Schlüssel von %1 Bytes (in UTF-8, da es Zeichen außerhalb von Windows-1252 enthält); ein Schlüssel fasst höchstens 448 Bytes, daher %2.</translation>
    </message>
    <message>
        <source>%1 Nothing was changed.</source>
        <translation>%1 Es wurde nichts geändert.</translation>
    </message>
    <message>
        <source>encryption</source>
        <translation>Verschlüsselung</translation>
    </message>
    <message>
        <source>%1. Nothing was changed.</source>
        <translation>%1. Es wurde nichts geändert.</translation>
    </message>
    <message>
        <source>decryption</source>
        <translation>Entschlüsselung</translation>
    </message>
</context>
<context>
    <name>quelvane::TextFiles</name>
    <message>
        <source>line %1, column %2</source>
        <translation>Zeile %1, Spalte %2</translation>
    </message>
    <message>
        <source>Cannot read %1: %2</source>
        <translation>%1 lässt sich nicht lesen: %2</translation>
    </message>
    <message>
        <source>Cannot save %1: %2</source>
        <translation>%1 lässt sich nicht speichern: %2</translation>
    </message>
    <message>
        <source>it is a folder, not a file</source>
        <translation>es ist ein Ordner, keine Datei</translation>
    </message>
    <message>
        <source>it is not a regular file</source>
        <translation>es ist keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>the file is too large to load (%1 bytes)</source>
        <translation>die Datei ist zu groß zum Laden (%1 Bytes)</translation>
    </message>
    <message>
        <source>it is a symbolic link, which Quelvane never writes through or replaces</source>
        <translation>es ist ein symbolischer Link; Quelvane schreibt nie durch einen Link und ersetzt ihn nie</translation>
    </message>
    <message>
        <source>a folder of that name exists</source>
        <translation>ein Ordner dieses Namens existiert</translation>
    </message>
    <message>
        <source>it is a pipe, a device or a socket, not a regular file, and is never replaced</source>
        <translation>es ist eine Pipe, ein Gerät oder ein Socket, keine gewöhnliche Datei, und wird nie ersetzt</translation>
    </message>
    <message>
        <source>a file of that name exists</source>
        <translation>eine Datei dieses Namens existiert</translation>
    </message>
    <message>
        <source>%1 holds a NUL byte, which a password cannot hold</source>
        <translation>%1 enthält ein NUL-Byte, das ein Passwort nicht enthalten kann</translation>
    </message>
    <message>
        <source>it is %1 bytes, and the work text holds at most %2 characters</source>
        <translation>sie ist %1 Bytes groß, und der Arbeitstext fasst höchstens %2 Zeichen</translation>
    </message>
    <message>
        <source>it holds a NUL byte, so it is no text (quelvane-cli --binary encrypts any file)</source>
        <translation>sie enthält ein NUL-Byte und ist daher kein Text (quelvane-cli --binary verschlüsselt jede Datei)</translation>
    </message>
</context>
<context>
    <name>quelvane::WorkTextEdit</name>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Rückgängig</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>&amp;Wiederholen</translation>
    </message>
    <message>
        <source>Cu&amp;t</source>
        <translation>&amp;Ausschneiden</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>&amp;Einfügen</translation>
    </message>
    <message>
        <source>Select &amp;All</source>
        <translation>Alles &amp;markieren</translation>
    </message>
    <message>
        <source>Work text</source>
        <translation>Arbeitstext</translation>
    </message>
</context>
<context>
    <name>quelvane::cli</name>
    <message>
        <source>FILE</source>
        <translation>DATEI</translation>
    </message>
    <message>
        <source>DIR</source>
        <translation>ORDNER</translation>
    </message>
    <message>
        <source>Write each INPUT to DIR under its own name, with the suffix .QvH (encrypt) or .TxT (decrypt).</source>
        <translation>Jede EINGABE unter ihrem eigenen Namen nach ORDNER schreiben, mit der Endung .QvH (encrypt) oder .TxT (decrypt).</translation>
    </message>
    <message>
        <source>Replace files that exist; never without it.</source>
        <translation>Vorhandene Dateien ersetzen; ohne diese Option nie.</translation>
    </message>
    <message>
        <source>Encrypt any file&apos;s bytes exactly as they are (an image, an archive), and decrypt to exactly the bytes encrypted.</source>
        <translation>Die Bytes jeder Datei genau so verschlüsseln, wie sie sind (ein Bild, ein Archiv), und genau zu den verschlüsselten Bytes entschlüsseln.</translation>
    </message>
    <message>
        <source>[LENGTH]</source>
        <translation>[LÄNGE]</translation>
    </message>
    <message>
        <source>[INPUT...]</source>
        <translation>[EINGABE...]</translation>
    </message>
    <message>
        <source>Reads Quelvane hex ciphertext and writes the text that was encrypted, as UTF-8 with LF line breaks (a text of CR LF lines comes back with LF); with --binary, the bytes exactly.</source>
        <translation>Liest Quelvane-Hex-Geheimtext und schreibt den verschlüsselten Text als UTF-8 mit LF-Zeilenumbrüchen (ein Text mit CR-LF-Zeilen kommt mit LF zurück); mit --binary genau die Bytes.</translation>
    </message>
    <message>
        <source>Exit status: 0 done, 1 a file or the password failed, 2 a usage error.</source>
        <translation>Rückgabewert: 0 erledigt, 1 eine Datei oder das Passwort hat versagt, 2 ein Aufruffehler.</translation>
    </message>
    <message>
        <source>%1 takes no %2</source>
        <translation>%1 nimmt kein %2</translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation>unbekannte Option %1</translation>
    </message>
    <message>
        <source>%1 is given twice</source>
        <translation>%1 ist doppelt angegeben</translation>
    </message>
    <message>
        <source>%1 needs a value</source>
        <translation>%1 braucht einen Wert</translation>
    </message>
    <message>
        <source>--output and --output-dir exclude each other</source>
        <translation>--output und --output-dir schließen einander aus</translation>
    </message>
    <message>
        <source>generate takes one LENGTH at most</source>
        <translation>generate nimmt höchstens eine LÄNGE</translation>
    </message>
    <message>
        <source>--output-dir needs INPUT files: standard input has no name to write</source>
        <translation>--output-dir braucht EINGABE-Dateien: die Standardeingabe hat keinen Namen zum Schreiben</translation>
    </message>
    <message>
        <source>several INPUT files need --output-dir DIR</source>
        <translation>mehrere EINGABE-Dateien brauchen --output-dir ORDNER</translation>
    </message>
    <message>
        <source>%1 exists; --force replaces it</source>
        <translation>%1 existiert; --force ersetzt es</translation>
    </message>
    <message>
        <source>the input is empty: there is no text to encrypt</source>
        <translation>die Eingabe ist leer: es gibt keinen Text zu verschlüsseln</translation>
    </message>
    <message>
        <source>the input is empty: there is no hex text to decrypt</source>
        <translation>die Eingabe ist leer: es gibt keinen Hex-Text zu entschlüsseln</translation>
    </message>
    <message>
        <source>the input cannot be read: %1</source>
        <translation>die Eingabe lässt sich nicht lesen: %1</translation>
    </message>
    <message>
        <source>the input changed while it was read</source>
        <translation>die Eingabe hat sich beim Lesen geändert</translation>
    </message>
    <message>
        <source>the input holds a NUL byte, so it is no text: --binary encrypts any file&apos;s bytes as they are</source>
        <translation>die Eingabe enthält ein NUL-Byte, ist also kein Text: --binary verschlüsselt die Bytes jeder Datei, wie sie sind</translation>
    </message>
    <message>
        <source>it cannot be used as the key</source>
        <translation>kann es nicht als Schlüssel dienen</translation>
    </message>
    <message>
        <source>%1 holds half of a character (a lone surrogate), which has no UTF-8 form, so the text cannot be encrypted</source>
        <translation>%1 enthält ein halbes Zeichen (ein einzelnes Surrogat) ohne UTF-8-Form, daher lässt sich der Text nicht verschlüsseln</translation>
    </message>
    <message>
        <source>no text can have been encrypted with it</source>
        <translation>kann damit kein Text verschlüsselt worden sein</translation>
    </message>
    <message>
        <source>wrong password or damaged ciphertext</source>
        <translation>falsches Passwort oder beschädigter Geheimtext</translation>
    </message>
    <message>
        <source>damaged ciphertext: the text it holds is marked as UTF-8 but is not, so nothing was written</source>
        <translation>beschädigter Geheimtext: Der Text darin ist als UTF-8 gekennzeichnet, ist es aber nicht; es wurde nichts geschrieben</translation>
    </message>
    <message>
        <source>the decrypted bytes hold a NUL byte, so they are no text: --binary writes them as they are</source>
        <translation>die entschlüsselten Bytes enthalten ein NUL-Byte, sind also kein Text: --binary schreibt sie, wie sie sind</translation>
    </message>
    <message>
        <source>%1 is not a folder: --output-dir needs one that exists</source>
        <translation>%1 ist kein Ordner: --output-dir braucht einen vorhandenen</translation>
    </message>
    <message>
        <source>another INPUT of this run goes to %1 already</source>
        <translation>eine andere EINGABE dieses Aufrufs geht schon nach %1</translation>
    </message>
    <message>
        <source>LENGTH must be a number from 3 to 448, not &quot;%1&quot;</source>
        <translation>LÄNGE muss eine Zahl von 3 bis 448 sein, nicht &quot;%1&quot;</translation>
    </message>
    <message>
        <source>the password holds control characters, shown as ␞ (30), ␟ (31) and ␡ (127), which a terminal cannot take: keep it with --output FILE</source>
        <translation>das Passwort enthält Steuerzeichen, gezeigt als ␞ (30), ␟ (31) und ␡ (127), die ein Terminal nicht annimmt: bewahren Sie es mit --output DATEI auf</translation>
    </message>
    <message>
        <source>the password typed holds a NUL character, which a password cannot hold</source>
        <translation>das eingegebene Passwort enthält ein NUL-Zeichen, das ein Passwort nicht enthalten kann</translation>
    </message>
    <message>
        <source>the terminal cannot hide what is typed</source>
        <translation>das Terminal kann die Eingabe nicht verbergen</translation>
    </message>
    <message>
        <source>no password was read from the terminal</source>
        <translation>vom Terminal wurde kein Passwort gelesen</translation>
    </message>
    <message>
        <source>%1 holds %2 characters; the password is its first 448, as in the window</source>
        <translation>%1 enthält %2 Zeichen; das Passwort sind die ersten 448, wie im Fenster</translation>
    </message>
    <message>
        <source>%1 ends with a line break, which is part of the password; a password file made with an editor may hold one it was not meant to</source>
        <translation>%1 endet mit einem Zeilenumbruch, der zum Passwort gehört; eine mit einem Editor erstellte Passwortdatei kann einen ungewollten enthalten</translation>
    </message>
    <message>
        <source>no password: give --password-file FILE, or run on a terminal to be asked</source>
        <translation>kein Passwort: geben Sie --password-file DATEI an, oder starten Sie am Terminal, um gefragt zu werden</translation>
    </message>
    <message>
        <source>the two passwords typed differ</source>
        <translation>die beiden eingegebenen Passwörter unterscheiden sich</translation>
    </message>
    <message>
        <source>the password typed has %1 characters; the password is its first 448, as in the window</source>
        <translation>das eingegebene Passwort hat %1 Zeichen; das Passwort sind die ersten 448, wie im Fenster</translation>
    </message>
    <message>
        <source>%1 is empty: a password needs one character at least</source>
        <translation>%1 ist leer: ein Passwort braucht mindestens ein Zeichen</translation>
    </message>
    <message>
        <source>the password is empty: a password needs one character at least</source>
        <translation>das Passwort ist leer: ein Passwort braucht mindestens ein Zeichen</translation>
    </message>
    <message>
        <source>the password takes %1 bytes as a key (UTF-8, as it holds characters beyond Windows-1252), but a key holds at most 448 bytes</source>
        <translation>das Passwort ergibt einen Schlüssel von %1 Bytes (UTF-8, da es Zeichen außerhalb von Windows-1252 enthält), ein Schlüssel fasst aber höchstens 448 Bytes</translation>
    </message>
    <message>
        <source>character %1 of the password is half of a character (a lone surrogate), which has no UTF-8 form, so it cannot be the key</source>
        <translation>Zeichen %1 des Passworts ist ein halbes Zeichen (ein einzelnes Surrogat) ohne UTF-8-Form, daher kann es nicht der Schlüssel sein</translation>
    </message>
    <message>
        <source>cannot write to standard output: %1</source>
        <translation>in die Standardausgabe lässt sich nicht schreiben: %1</translation>
    </message>
    <message>
        <source>standard input</source>
        <translation>Standardeingabe</translation>
    </message>
    <message>
        <source>Cannot keep %1 in a private temporary folder (%2)</source>
        <translation>%1 lässt sich nicht in einem privaten temporären Ordner ablegen (%2)</translation>
    </message>
    <message>
        <source>Cannot read %1: %2</source>
        <translation>%1 lässt sich nicht lesen: %2</translation>
    </message>
    <message>
        <source>quelvane-cli: %1
Try &quot;quelvane-cli --help&quot;.
</source>
        <translation>quelvane-cli: %1
Mehr dazu unter &quot;quelvane-cli --help&quot;.
</translation>
    </message>
    <message>
        <source>The password: the text of a password file (.QvP), or of standard input for &quot;-&quot;. Without it the password is asked on the terminal.</source>
        <translation>Das Passwort: der Text einer Passwortdatei (.QvP), bei &quot;-&quot; der Standardeingabe. Ohne diese Option wird das Passwort am Terminal erfragt.</translation>
    </message>
    <message>
        <source>Write the result to FILE, only once it is complete; &quot;-&quot; is standard output.</source>
        <translation>Das Ergebnis nach DATEI schreiben, erst wenn es vollständig ist; &quot;-&quot; ist die Standardausgabe.</translation>
    </message>
    <message>
        <source>Show no progress and no warnings; errors are still shown.</source>
        <translation>Keinen Fortschritt und keine Warnungen zeigen; Fehler werden weiter gezeigt.</translation>
    </message>
    <message>
        <source>Show this help.</source>
        <translation>Diese Hilfe zeigen.</translation>
    </message>
    <message>
        <source>Show the version.</source>
        <translation>Die Version zeigen.</translation>
    </message>
    <message>
        <source>%1 takes no value</source>
        <translation>%1 nimmt keinen Wert</translation>
    </message>
    <message>
        <source>Usage:</source>
        <translation>Aufruf:</translation>
    </message>
    <message>
        <source>[OPTION...]</source>
        <translation>[OPTION...]</translation>
    </message>
    <message>
        <source>Reads a text in any language (UTF-8, else Windows-1252; any line breaks) and writes it as Quelvane hex ciphertext, as the window&apos;s encryption makes it. A file holding a NUL byte is no text: --binary encrypts it.</source>
        <translation>Liest einen Text in jeder Sprache (UTF-8, sonst Windows-1252; beliebige Zeilenumbrüche) und schreibt ihn als Quelvane-Hex-Geheimtext, wie ihn die Verschlüsselung im Fenster erzeugt. Eine Datei mit einem NUL-Byte ist kein Text: --binary verschlüsselt sie.</translation>
    </message>
    <message>
        <source>Options:</source>
        <translation>Optionen:</translation>
    </message>
    <message>
        <source>INPUT is a file, or standard input when absent or &quot;-&quot;.</source>
        <translation>EINGABE ist eine Datei, oder die Standardeingabe, wenn sie fehlt oder &quot;-&quot; ist.</translation>
    </message>
    <message>
        <source>LENGTH is 3 to 448 characters, default 112.</source>
        <translation>LÄNGE ist 3 bis 448 Zeichen, ohne Angabe 112.</translation>
    </message>
    <message>
        <source>the password and the INPUT cannot both come from standard input: give the INPUT as a file, or --password-file FILE</source>
        <translation>Passwort und EINGABE können nicht beide aus der Standardeingabe kommen: geben Sie die EINGABE als Datei an, oder --password-file DATEI</translation>
    </message>
    <message>
        <source>not Quelvane ciphertext: that is pairs of hex digits, 32 at least (blanks and line breaks between them do not count); nothing was decrypted</source>
        <translation>kein Quelvane-Geheimtext: das sind Paare von Hex-Ziffern, mindestens 32 (Leerzeichen und Zeilenumbrüche dazwischen zählen nicht); es wurde nichts entschlüsselt</translation>
    </message>
    <message>
        <source>the password as given is wrong, but %1 opens it</source>
        <translation>das Passwort, wie angegeben, ist falsch, aber %1 öffnet es</translation>
    </message>
    <message>
        <source>the password typed is not valid %1, the terminal&apos;s encoding: set the terminal and the locale (LANG) to the same encoding</source>
        <translation>das eingegebene Passwort ist kein gültiges %1, die Kodierung des Terminals: stellen Sie Terminal und Locale (LANG) auf dieselbe Kodierung</translation>
    </message>
    <message>
        <source>it is closed</source>
        <translation>sie ist geschlossen</translation>
    </message>
    <message>
        <source>standard input holds more than 1 MiB, which is no password file</source>
        <translation>die Standardeingabe enthält mehr als 1 MiB, also keine Passwortdatei</translation>
    </message>
    <message>
        <source>the password in Unicode normalisation form %1</source>
        <translation>das Passwort in der Unicode-Normalform %1</translation>
    </message>
    <message>
        <source>%1 is UTF-8 without the mark EF BB BF, so it is read one character a byte (Windows-1252), as the window reads it; save it with the mark to have it read as UTF-8</source>
        <translation>%1 ist UTF-8 ohne die Markierung EF BB BF und wird daher ein Zeichen je Byte (Windows-1252) gelesen, wie das Fenster es liest; mit der Markierung gespeichert wird es als UTF-8 gelesen</translation>
    </message>
    <message>
        <source>the password file read as UTF-8</source>
        <translation>die Passwortdatei, als UTF-8 gelesen</translation>
    </message>
    <message>
        <source>FORMAT</source>
        <translation>FORMAT</translation>
    </message>
    <message>
        <source>The format of the ciphertext: quelvane (the default, hex text) or age (the age v1 passphrase format, which any age tool opens). Decrypting tells the format itself.</source>
        <translation>Das Format des Geheimtexts: quelvane (die Vorgabe, Hex-Text) oder age (das Passphrasen-Format age v1, das jedes age-Werkzeug öffnet). Beim Entschlüsseln wird das Format selbst erkannt.</translation>
    </message>
    <message>
        <source>With --format age: write the binary age file, not the armored text.</source>
        <translation>Mit --format age: die binäre age-Datei schreiben, nicht den Text mit Rüstung (armor).</translation>
    </message>
    <message>
        <source>unknown format &quot;%1&quot; (quelvane or age)</source>
        <translation>unbekanntes Format &quot;%1&quot; (quelvane oder age)</translation>
    </message>
    <message>
        <source>--no-armor is for --format age</source>
        <translation>--no-armor gilt nur mit --format age</translation>
    </message>
    <message>
        <source>wrong password: no stanza of the age file opens with it</source>
        <translation>falsches Passwort: kein Eintrag der age-Datei öffnet sich damit</translation>
    </message>
    <message>
        <source>Makes a random password of LENGTH characters from the characters with codes 32 to 126 (all typeable), drawn from the system&apos;s secure source.</source>
        <translation>Erzeugt ein zufälliges Passwort aus LÄNGE Zeichen mit den Codes 32 bis 126 (alle tippbar), gezogen aus der sicheren Quelle des Systems.</translation>
    </message>
    <message>
        <source>the password is %1: it is easy to guess; encrypting with it anyway</source>
        <translation>das Passwort ist %1: es ist leicht zu erraten; es wird trotzdem damit verschlüsselt</translation>
    </message>
    <message>
        <source>Encrypts texts into Quelvane hex ciphertext and back, as the window does, rewrites such files as age files, and makes random passwords.

  quelvane-cli encrypt [-k FILE] [-o FILE] [-f] [-q] [--binary] [--format age [--no-armor]] [INPUT]
  quelvane-cli decrypt [-k FILE] [-o FILE] [-f] [-q] [--binary] [INPUT]
  quelvane-cli encrypt|decrypt --output-dir DIR [-k FILE] [-f] [-q] [--binary] INPUT...
  quelvane-cli upgrade [-k FILE] [-f] [-q] FILE.QvH...
  quelvane-cli generate [-o FILE] [-f] [-q] [LENGTH]

&quot;quelvane-cli COMMAND --help&quot; tells more of a command.</source>
        <translation>Verschlüsselt Texte in Quelvane-Hex-Geheimtext und zurück, wie das Fenster es tut, schreibt solche Dateien als age-Dateien neu und erzeugt zufällige Passwörter.

  quelvane-cli encrypt [-k DATEI] [-o DATEI] [-f] [-q] [--binary] [--format age [--no-armor]] [EINGABE]
  quelvane-cli decrypt [-k DATEI] [-o DATEI] [-f] [-q] [--binary] [EINGABE]
  quelvane-cli encrypt|decrypt --output-dir ORDNER [-k DATEI] [-f] [-q] [--binary] EINGABE...
  quelvane-cli upgrade [-k DATEI] [-f] [-q] DATEI.QvH...
  quelvane-cli generate [-o DATEI] [-f] [-q] [LÄNGE]

&quot;quelvane-cli BEFEHL --help&quot; sagt mehr über einen Befehl.</translation>
    </message>
    <message>
        <source>FILE.QvH...</source>
        <translation>DATEI.QvH...</translation>
    </message>
    <message>
        <source>Rewrites each Quelvane hex ciphertext file in the age v1 passphrase format (armored, which any age tool opens) under the same password: FILE.QvH becomes FILE.age beside it, a file of another name NAME.age. The age file holds the text that was encrypted as UTF-8 with LF line breaks, as decrypt writes it; it is decrypted again and compared with the text before it takes its name. FILE.QvH is kept.</source>
        <translation>Schreibt jede Quelvane-Hex-Geheimtextdatei unter demselben Passwort im age-v1-Passphrasenformat neu (als Text mit Rüstung, den jedes age-Werkzeug öffnet): aus DATEI.QvH wird DATEI.age daneben, aus einer Datei anderen Namens NAME.age. Die age-Datei enthält den verschlüsselten Text als UTF-8 mit LF-Zeilenumbrüchen, wie decrypt ihn schreibt; sie wird noch einmal entschlüsselt und mit dem Text verglichen, bevor sie ihren Namen bekommt. DATEI.QvH bleibt erhalten.</translation>
    </message>
    <message>
        <source>A FILE.age that exists is replaced only with --force; one failing FILE stops none of the others.</source>
        <translation>Eine vorhandene DATEI.age wird nur mit --force ersetzt; eine fehlschlagende DATEI hält keine der anderen auf.</translation>
    </message>
    <message>
        <source>no command given (encrypt, decrypt, upgrade or generate)</source>
        <translation>kein Befehl angegeben (encrypt, decrypt, upgrade oder generate)</translation>
    </message>
    <message>
        <source>unknown command &quot;%1&quot; (encrypt, decrypt, upgrade or generate)</source>
        <translation>unbekannter Befehl &quot;%1&quot; (encrypt, decrypt, upgrade oder generate)</translation>
    </message>
    <message>
        <source>upgrade needs one FILE.QvH at least</source>
        <translation>upgrade braucht mindestens eine DATEI.QvH</translation>
    </message>
    <message>
        <source>upgrade needs FILE.QvH files: standard input has no name to write beside</source>
        <translation>upgrade braucht DATEI.QvH-Dateien: die Standardeingabe hat keinen Namen, neben den geschrieben werden könnte</translation>
    </message>
    <message>
        <source>it is an age file already: there is nothing to upgrade</source>
        <translation>sie ist schon eine age-Datei: es gibt nichts umzuschreiben</translation>
    </message>
    <message>
        <source>the decrypted bytes hold a NUL byte, so they are no text; no age file was made</source>
        <translation>die entschlüsselten Bytes enthalten ein NUL-Byte, sind also kein Text; es wurde keine age-Datei erstellt</translation>
    </message>
    <message>
        <source>the new age file does not decrypt to the text again, so it was not kept</source>
        <translation>die neue age-Datei ergibt entschlüsselt nicht wieder den Text und wurde darum nicht behalten</translation>
    </message>
    <message>
        <source>the age file cannot be made: %1</source>
        <translation>die age-Datei kann nicht erstellt werden: %1</translation>
    </message>
    <message>
        <source>it is too large: a text of at most %1 bytes can be encrypted; reading stopped after %2 bytes</source>
        <translation>sie ist zu groß: Verschlüsselt werden kann ein Text von höchstens %1 Bytes; das Lesen wurde nach %2 Bytes beendet</translation>
    </message>
    <message>
        <source>it is too large for Quelvane ciphertext, whose hex text has at most %1 digits; reading stopped after %2 bytes</source>
        <translation>sie ist zu groß für Quelvane-Geheimtext, dessen Hex-Text höchstens %1 Ziffern hat; das Lesen wurde nach %2 Bytes beendet</translation>
    </message>
    <message>
        <source>%1 would replace %2, an INPUT of this run, before it is read (--force or not); nothing was done</source>
        <translation>%1 würde %2, eine EINGABE dieses Aufrufs, ersetzen, bevor sie gelesen ist (mit --force oder ohne); es wurde nichts getan</translation>
    </message>
    <message>
        <source>there is no room left in %1 (%2)</source>
        <translation>in %1 ist kein Platz mehr (%2)</translation>
    </message>
    <message>
        <source>the input grew while it was read (it had %1 bytes); nothing was written: try again once nothing writes to it</source>
        <translation>die Eingabe ist beim Lesen gewachsen (sie hatte %1 Bytes); es wurde nichts geschrieben: versuchen Sie es wieder, wenn nichts mehr in sie schreibt</translation>
    </message>
    <message>
        <source>Cannot keep %1 in a private temporary folder: %2; nothing was kept</source>
        <translation>%1 lässt sich nicht in einem privaten temporären Ordner ablegen: %2; es wurde nichts abgelegt</translation>
    </message>
    <message>
        <source>Cannot hold the result in a private temporary folder (%1)</source>
        <translation>Das Ergebnis lässt sich nicht in einem privaten temporären Ordner zurückhalten (%1)</translation>
    </message>
    <message>
        <source>Cannot hold the result in a private temporary folder: %1; nothing was written (--output FILE needs no room there)</source>
        <translation>Das Ergebnis lässt sich nicht in einem privaten temporären Ordner zurückhalten: %1; es wurde nichts geschrieben (--output DATEI braucht dort keinen Platz)</translation>
    </message>
    <message>
        <source>Cannot read the held result: %1</source>
        <translation>Das zurückgehaltene Ergebnis lässt sich nicht lesen: %1</translation>
    </message>
    <message>
        <source>%1 would replace %2, the password file of this run (--force or not); nothing was done</source>
        <translation>%1 würde %2, die Passwortdatei dieses Aufrufs, ersetzen (mit --force oder ohne); es wurde nichts getan</translation>
    </message>
</context>
<context>
    <name>quelvane::frmMain</name>
    <message>
        <source>Enter PassWord  (Max 448 Characters) </source>
        <translation>Passwort eingeben (höchstens 448 Zeichen)</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Quelvane %1: keep your password; without it the text cannot be read again.</source>
        <translation>Quelvane %1: Bewahren Sie Ihr Passwort gut auf; ohne es lässt sich der Text nicht wieder lesen.</translation>
    </message>
    <message>
        <source>Password length</source>
        <translation>Länge des Passworts</translation>
    </message>
    <message>
        <source>Work text</source>
        <translation>Arbeitstext</translation>
    </message>
    <message>
        <source>The text to encrypt, or the hex text to decrypt</source>
        <translation>Der Text zum Verschlüsseln oder der Hex-Text zum Entschlüsseln</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Generate Random PassWord</source>
        <translation>Zufälliges Passwort &amp;erzeugen</translation>
    </message>
    <message>
        <source>&amp;Save PassWord</source>
        <translation>Passwort &amp;speichern</translation>
    </message>
    <message>
        <source>&amp;Load PassWord</source>
        <translation>Passwort &amp;laden</translation>
    </message>
    <message>
        <source>&amp;Quelvane</source>
        <translation>&amp;Quelvane (verschlüsseln)</translation>
    </message>
    <message>
        <source>&amp;DeQuelvane</source>
        <translation>&amp;DeQuelvane (entschlüsseln)</translation>
    </message>
    <message>
        <source>&amp;Save Quelvane</source>
        <translation>Quelvane s&amp;peichern</translation>
    </message>
    <message>
        <source>&amp;Load Quelvane</source>
        <translation>Quelvane l&amp;aden</translation>
    </message>
    <message>
        <source>&amp;Save Tex File</source>
        <translation>&amp;Textdatei speichern</translation>
    </message>
    <message>
        <source>&amp;Load Tex File</source>
        <translation>Textdatei la&amp;den</translation>
    </message>
    <message>
        <source>&amp;Copy Tex  Box To Clipboard</source>
        <translation>Textfeld in die &amp;Zwischenablage kopieren</translation>
    </message>
    <message>
        <source>&amp;InFo</source>
        <translation>&amp;Info</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>PassWord Not Set, Please Set Before Proceding</source>
        <translation>Kein Passwort gesetzt. Bitte geben Sie zuerst ein Passwort ein.</translation>
    </message>
    <message>
        <source>Enter Some Txt First</source>
        <translation>Bitte geben Sie zuerst einen Text ein.</translation>
    </message>
    <message>
        <source>Done! Hear Is Your Quelvane In Hex Format You Can Save To A File Or Copy To Clipboard </source>
        <translation>Fertig! Hier ist Ihr Quelvane im Hex-Format. Sie können es in einer Datei speichern oder in die Zwischenablage kopieren.</translation>
    </message>
    <message>
        <source>Load HBfa File First Or Paste Hex File</source>
        <translation>Laden Sie zuerst eine Hex-Datei, oder fügen Sie Hex-Text ein.</translation>
    </message>
    <message>
        <source>The work text is no Quelvane ciphertext: that is pairs of hex digits, 32 at least (blanks and line breaks between them do not count). Nothing was decrypted; the password and the work text are kept.</source>
        <translation>Der Arbeitstext ist kein Quelvane-Geheimtext: Das wären Paare von Hex-Ziffern, mindestens 32 (Leerzeichen und Zeilenumbrüche dazwischen zählen nicht). Es wurde nichts entschlüsselt; Passwort und Arbeitstext bleiben erhalten.</translation>
    </message>
    <message>
        <source>The ciphertext is damaged: the text it holds is marked as UTF-8 but is not. Nothing was decrypted; the password and the work text are kept.</source>
        <translation>Der Geheimtext ist beschädigt: Der Text darin ist als UTF-8 gekennzeichnet, ist es aber nicht. Es wurde nichts entschlüsselt; Passwort und Arbeitstext bleiben erhalten.</translation>
    </message>
    <message>
        <source>Done! Hear Is Your DeQuelvane  You Can Save To A File Or Copy To Clipboard </source>
        <translation>Fertig! Hier ist Ihr entschlüsselter Text. Sie können ihn in einer Datei speichern oder in die Zwischenablage kopieren.</translation>
    </message>
    <message>
        <source> Opps Wrong Password </source>
        <translation> Falsches Passwort </translation>
    </message>
    <message>
        <source>PassWord Max 448 </source>
        <translation>Länge des Passworts (höchstens 448)</translation>
    </message>
    <message>
        <source>Generate Random PassWord</source>
        <translation>Zufälliges Passwort erzeugen</translation>
    </message>
    <message>
        <source>Error Numbers Only </source>
        <translation>Fehler: nur Zahlen</translation>
    </message>
    <message>
        <source>Min 3 Max 448</source>
        <translation>Mindestens 3, höchstens 448</translation>
    </message>
    <message>
        <source>The clipboard did not take the text; nothing was copied.</source>
        <translation>Die Zwischenablage hat den Text nicht angenommen; es wurde nichts kopiert.</translation>
    </message>
    <message>
        <source> Your Txt <byte value="xd"/>
<byte value="xd"/>
 Has Been Copyed To Clipboard </source>
        <translation> Ihr Text <byte value="xd"/>
<byte value="xd"/>
 wurde in die Zwischenablage kopiert </translation>
    </message>
    <message>
        <source>Enter PassWord First</source>
        <translation>Bitte geben Sie zuerst ein Passwort ein.</translation>
    </message>
    <message>
        <source>Save Quelvane PassWord</source>
        <translation>Quelvane-Passwort speichern</translation>
    </message>
    <message>
        <source>PassWord Saved As </source>
        <translation>Passwort gespeichert als </translation>
    </message>
    <message>
        <source>Enter Some TxT First</source>
        <translation>Bitte geben Sie zuerst einen Text ein.</translation>
    </message>
    <message>
        <source>Save TxT File</source>
        <translation>Textdatei speichern</translation>
    </message>
    <message>
        <source>Your TxT File Saved As </source>
        <translation>Ihre Textdatei wurde gespeichert als </translation>
    </message>
    <message>
        <source>Save Hex QvH File</source>
        <translation>Hex-Datei (QvH) speichern</translation>
    </message>
    <message>
        <source>Your Quelvane Saved As </source>
        <translation>Ihr Quelvane wurde gespeichert als </translation>
    </message>
    <message>
        <source>it cannot be saved</source>
        <translation>es kann nicht gespeichert werden</translation>
    </message>
    <message>
        <source>Output File Already Exist. Do you want To OVERWRITE It?</source>
        <translation>Die Ausgabedatei existiert bereits. Wollen Sie sie ÜBERSCHREIBEN?</translation>
    </message>
    <message>
        <source>Load Quelvane PassWord</source>
        <translation>Quelvane-Passwort laden</translation>
    </message>
    <message>
        <source>%1. The password was not changed.</source>
        <translation>%1. Das Passwort wurde nicht geändert.</translation>
    </message>
    <message>
        <source>The password box cannot take the characters of %1. The password was not changed.</source>
        <translation>Das Passwortfeld kann die Zeichen aus %1 nicht aufnehmen. Das Passwort wurde nicht geändert.</translation>
    </message>
    <message>
        <source>%1 holds %2 characters; the password box keeps the first 448.</source>
        <translation>%1 enthält %2 Zeichen; das Passwortfeld behält die ersten 448.</translation>
    </message>
    <message>
        <source>Load TxT File</source>
        <translation>Textdatei laden</translation>
    </message>
    <message>
        <source>Load Hex QvH File</source>
        <translation>Hex-Datei (QvH) laden</translation>
    </message>
    <message>
        <source>%1 is not a file on this computer. Nothing was loaded.</source>
        <translation>%1 ist keine Datei auf diesem Rechner. Es wurde nichts geladen.</translation>
    </message>
    <message>
        <source>PassWord Loaded From </source>
        <translation>Passwort geladen aus </translation>
    </message>
    <message>
        <source>Your TxT File Is Loaded From</source>
        <translation>Ihre Textdatei wurde geladen aus</translation>
    </message>
    <message>
        <source>Your Hex Quelvane Loaded From</source>
        <translation>Ihr Hex-Quelvane wurde geladen aus</translation>
    </message>
    <message>
        <source>The work text holds text that was not saved, copied or encrypted. Quit and lose it?</source>
        <translation>Der Arbeitstext enthält Text, der weder gespeichert noch kopiert noch verschlüsselt wurde. Beenden und ihn verlieren?</translation>
    </message>
    <message>
        <source>Replace the password you typed with a random one? The typed password is lost unless it was saved.</source>
        <translation>Das eingetippte Passwort durch ein zufälliges ersetzen? Das eingetippte Passwort geht verloren, wenn es nicht gespeichert wurde.</translation>
    </message>
    <message>
        <source>The password as typed did not open the text, but the same password with its accents written the other way (Unicode %1) did. The password box keeps it as typed.</source>
        <translation>Das Passwort, wie eingegeben, hat den Text nicht geöffnet, wohl aber dasselbe Passwort mit anders geschriebenen Akzenten (Unicode %1). Das Passwortfeld behält es, wie eingegeben.</translation>
    </message>
    <message>
        <source>%1 ends with a line break, which is part of the password; a password file made with an editor may hold one it was not meant to.</source>
        <translation>%1 endet mit einem Zeilenumbruch, der zum Passwort gehört; eine mit einem Editor erstellte Passwortdatei kann einen ungewollten enthalten.</translation>
    </message>
    <message>
        <source>Several password files were named, and the password box holds one: it keeps the last, %1; %2 was replaced by it.</source>
        <translation>Es wurden mehrere Passwortdateien angegeben, und das Passwortfeld fasst eine: Es behält die letzte, %1; %2 wurde durch sie ersetzt.</translation>
    </message>
    <message>
        <source>Several files were named for the work text, which holds one at a time: it keeps the last, %1; %2 was replaced by it.</source>
        <translation>Es wurden mehrere Dateien für den Arbeitstext angegeben, der jeweils eine fasst: Er behält die letzte, %1; %2 wurde durch sie ersetzt.</translation>
    </message>
    <message>
        <source>Encryption format</source>
        <translation>Verschlüsselungsformat</translation>
    </message>
    <message>
        <source>Encrypt as &amp;age</source>
        <translation>Als a&amp;ge verschlüsseln</translation>
    </message>
    <message>
        <source>Checked: new encryptions are made in the age format, which the age program also opens. Unchecked: in Quelvane&apos;s own hex format.</source>
        <translation>Markiert: Neue Verschlüsselungen entstehen im age-Format, das auch das Programm age öffnet. Nicht markiert: im eigenen Hex-Format von Quelvane.</translation>
    </message>
    <message>
        <source>Encrypts as: age</source>
        <translation>Verschlüsselt als: age</translation>
    </message>
    <message>
        <source>Encrypts as: Quelvane hex</source>
        <translation>Verschlüsselt als: Quelvane-Hex</translation>
    </message>
    <message>
        <source>New encryptions are made in the age format</source>
        <translation>Neue Verschlüsselungen entstehen im age-Format</translation>
    </message>
    <message>
        <source>New encryptions are made in the Quelvane hex format</source>
        <translation>Neue Verschlüsselungen entstehen im Hex-Format von Quelvane</translation>
    </message>
    <message>
        <source>Done! Here is your text in the age format. You can save it to a file or copy it to the clipboard.</source>
        <translation>Fertig! Hier ist Ihr Text im age-Format. Sie können ihn in einer Datei speichern oder in die Zwischenablage kopieren.</translation>
    </message>
    <message>
        <source>The age text holds data that is not UTF-8 text. Decrypt it with quelvane-cli.</source>
        <translation>Der age-Text enthält Daten, die kein UTF-8-Text sind. Entschlüsseln Sie ihn mit quelvane-cli.</translation>
    </message>
    <message>
        <source>Save age File</source>
        <translation>age-Datei speichern</translation>
    </message>
    <message>
        <source>Your age text saved as </source>
        <translation>Ihr age-Text wurde gespeichert als </translation>
    </message>
    <message>
        <source>Your age text was loaded from</source>
        <translation>Ihr age-Text wurde geladen aus</translation>
    </message>
    <message>
        <source>%1 is not a file Quelvane opens: it opens .QvH (hex), .age, .TxT (text) and .QvP (password) files. Nothing was loaded from it.</source>
        <translation>%1 ist keine Datei, die Quelvane öffnet: Quelvane öffnet .QvH- (Hex), .age-, .TxT- (Text) und .QvP-Dateien (Passwort). Daraus wurde nichts geladen.</translation>
    </message>
    <message>
        <source>Drop one file at a time: a .QvH, .age, .TxT or .QvP file. Nothing was loaded.</source>
        <translation>Bitte nur eine Datei auf einmal ablegen: eine .QvH-, .age-, .TxT- oder .QvP-Datei. Es wurde nichts geladen.</translation>
    </message>
    <message>
        <source>%1 is not a file Quelvane loads. Drop a .QvH (hex), .age, .TxT (text) or .QvP (password) file. Nothing was loaded.</source>
        <translation>%1 ist keine Datei, die Quelvane lädt. Legen Sie eine .QvH- (Hex), .age-, .TxT- (Text) oder .QvP-Datei (Passwort) ab. Es wurde nichts geladen.</translation>
    </message>
</context>
</TS>
