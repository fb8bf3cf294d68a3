<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>main</name>
    <message>
        <source>Encrypts a text with a password into hex ciphertext and back. Each FILE is loaded in order: .QvH as hex text, .TxT as text, .QvP as the password.</source>
        <translation>Verschlüsselt einen Text mit einem Passwort in Hex-Geheimtext und zurück. Jede DATEI wird der Reihe nach geladen: .QvH als Hex-Text, .TxT als Text, .QvP als Passwort.</translation>
    </message>
    <message>
        <source>A .QvH, .TxT or .QvP file to load.</source>
        <translation>Eine .QvH-, .TxT- oder .QvP-Datei zum Laden.</translation>
    </message>
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
        <source>%1 is not a file Quelvane opens: it opens .QvH (hex), .TxT (text) and .QvP (password) files. Nothing was loaded from it.</source>
        <translation>%1 ist keine Datei, die Quelvane öffnet: Quelvane öffnet .QvH- (Hex), .TxT- (Text) und .QvP-Dateien (Passwort). Daraus wurde nichts geladen.</translation>
    </message>
    <message>
        <source>Drop one file at a time: a .QvH, .TxT or .QvP file. Nothing was loaded.</source>
        <translation>Bitte nur eine Datei auf einmal ablegen: eine .QvH-, .TxT- oder .QvP-Datei. Es wurde nichts geladen.</translation>
    </message>
    <message>
        <source>%1 is not a file on this computer. Nothing was loaded.</source>
        <translation>%1 ist keine Datei auf diesem Rechner. Es wurde nichts geladen.</translation>
    </message>
    <message>
        <source>%1 is not a file Quelvane loads. Drop a .QvH (hex), .TxT (text) or .QvP (password) file. Nothing was loaded.</source>
        <translation>%1 ist keine Datei, die Quelvane lädt. Legen Sie eine .QvH- (Hex), .TxT- (Text) oder .QvP-Datei (Passwort) ab. Es wurde nichts geladen.</translation>
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
</context>
</TS>
