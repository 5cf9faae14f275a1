<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>RunDisplay</name>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <source>Copy as &amp;CSV</source>
        <translation>Als &amp;CSV kopieren</translation>
    </message>
    <message>
        <source>Back to &amp;live view</source>
        <translation>&amp;Zurück zur Live-Ansicht</translation>
    </message>
</context>
<context>
    <name>Tarvix::PingWidget</name>
    <message>
        <source>Ping</source>
        <translation>Ping</translation>
    </message>
</context>
<context>
    <name>TarvixCtl</name>
    <message>
        <source>Ping control</source>
        <translation>Ping-Steuerelement</translation>
    </message>
</context>
</TS>
