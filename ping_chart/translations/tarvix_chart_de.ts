<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>RunPresenter</name>
    <message>
        <source>Idle, no run yet</source>
        <translation>Bereit, noch kein Lauf</translation>
    </message>
    <message>
        <source>Idle</source>
        <translation>Bereit</translation>
    </message>
    <message>
        <source>Looking up the host</source>
        <translation>Host wird nachgeschlagen</translation>
    </message>
    <message>
        <source>Starting</source>
        <translation>Startet</translation>
    </message>
    <message>
        <source>Running</source>
        <translation>Läuft</translation>
    </message>
    <message>
        <source>Finished</source>
        <translation>Beendet</translation>
    </message>
    <message>
        <source>: host %1, address %2; sent %3, received %4, loss %5%</source>
        <translation>: Host %1, Adresse %2; gesendet %3, empfangen %4, Verlust %5 %</translation>
    </message>
    <message>
        <source>; last request answered</source>
        <translation>; letzte Anfrage beantwortet</translation>
    </message>
    <message>
        <source>; last request lost</source>
        <translation>; letzte Anfrage verloren</translation>
    </message>
</context>
<context>
    <name>RunView</name>
    <message>
        <source>Idle</source>
        <translation>Bereit</translation>
    </message>
    <message>
        <source>Resolving…</source>
        <translation>Auflösen …</translation>
    </message>
    <message>
        <source>Starting…</source>
        <translation>Startet …</translation>
    </message>
    <message>
        <source>Running</source>
        <translation>Läuft</translation>
    </message>
    <message>
        <source>Finished</source>
        <translation>Beendet</translation>
    </message>
    <message>
        <source>now</source>
        <translation>jetzt</translation>
    </message>
    <message>
        <source>Sent %1   Received %2   Loss %3%</source>
        <translation>Gesendet %1   Empfangen %2   Verlust %3 %</translation>
    </message>
    <message>
        <source>   Errors %1</source>
        <translation>   Fehler %1</translation>
    </message>
    <message>
        <source>min/avg/max/p95 –   jitter –</source>
        <translation>min/mittel/max/p95 –   Jitter –</translation>
    </message>
    <message>
        <source>min/avg/max/p95 %1/%2/%3/%4 ms   jitter %5 ms</source>
        <translation>min/mittel/max/p95 %1/%2/%3/%4 ms   Jitter %5 ms</translation>
    </message>
    <message>
        <source>No run yet</source>
        <translation>Noch kein Lauf</translation>
    </message>
    <message>
        <source>Round trips of the next run show here</source>
        <translation>Hier erscheinen die Umlaufzeiten des nächsten Laufs</translation>
    </message>
    <message>
        <source>Waiting for the first reply</source>
        <translation>Warten auf die erste Antwort</translation>
    </message>
</context>
</TS>
