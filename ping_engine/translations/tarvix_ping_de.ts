<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>HelperProber</name>
    <message>
        <source>killed by signal %1 (%2)</source>
        <translation>durch Signal %1 beendet (%2)</translation>
    </message>
    <message>
        <source>exit status %1</source>
        <translation>Exit-Status %1</translation>
    </message>
    <message>
        <source>wait status %1</source>
        <translation>Wait-Status %1</translation>
    </message>
    <message>
        <source>ICMP echo needs an IPv4 or IPv6 address</source>
        <translation>ICMP-Echo braucht eine IPv4- oder IPv6-Adresse</translation>
    </message>
    <message>
        <source>the ICMP helper is missing</source>
        <translation>der ICMP-Helfer fehlt</translation>
    </message>
    <message>
        <source>the ICMP helper is missing (looked for %1)</source>
        <translation>der ICMP-Helfer fehlt (gesucht: %1)</translation>
    </message>
    <message>
        <source> and </source>
        <translation> und </translation>
    </message>
    <message>
        <source>the ICMP helper could not be started (%1)</source>
        <translation>der ICMP-Helfer konnte nicht gestartet werden (%1)</translation>
    </message>
    <message>
        <source>the ICMP helper %1 could not be started (%2)</source>
        <translation>der ICMP-Helfer %1 konnte nicht gestartet werden (%2)</translation>
    </message>
    <message>
        <source>the ICMP helper %1 speaks version %2 of its protocol, not %3: it is not the helper this component was built with</source>
        <translation>der ICMP-Helfer %1 spricht Version %2 seines Protokolls, nicht %3: Er ist nicht der Helfer, mit dem diese Komponente gebaut wurde</translation>
    </message>
    <message>
        <source>the ICMP helper %1 did not greet as it should</source>
        <translation>der ICMP-Helfer %1 hat sich nicht wie vorgesehen gemeldet</translation>
    </message>
    <message>
        <source>the ICMP helper %1 lacks the CAP_NET_RAW capability</source>
        <translation>dem ICMP-Helfer %1 fehlt die Capability CAP_NET_RAW</translation>
    </message>
    <message>
        <source>the ICMP helper %1 cannot open a raw %2 socket (%3)</source>
        <translation>der ICMP-Helfer %1 kann keinen Raw-Socket für %2 öffnen (%3)</translation>
    </message>
    <message>
        <source>Pinging stopped: the ICMP helper %1 broke its protocol.</source>
        <translation>Pingen angehalten: Der ICMP-Helfer %1 hat sein Protokoll verletzt.</translation>
    </message>
    <message>
        <source>the ICMP helper %1 exited without serving%2</source>
        <translation>der ICMP-Helfer %1 hat sich beendet, ohne Anfragen anzunehmen%2</translation>
    </message>
    <message>
        <source>Pinging stopped: the ICMP helper %1 ended unexpectedly%2.</source>
        <translation>Pingen angehalten: Der ICMP-Helfer %1 hat sich unerwartet beendet%2.</translation>
    </message>
    <message>
        <source>the ICMP helper %1 did not answer</source>
        <translation>der ICMP-Helfer %1 hat nicht geantwortet</translation>
    </message>
    <message>
        <source>Pinging stopped: the ICMP helper %1 stopped answering.</source>
        <translation>Pingen angehalten: Der ICMP-Helfer %1 antwortet nicht mehr.</translation>
    </message>
</context>
<context>
    <name>PingEngine</name>
    <message>
        <source>Could not set the time to live to %1.</source>
        <translation>Die Lebensdauer (TTL) ließ sich nicht auf %1 setzen.</translation>
    </message>
    <message>
        <source>Could not allow broadcast on the socket (%1).</source>
        <translation>Broadcast ließ sich auf dem Socket nicht erlauben (%1).</translation>
    </message>
</context>
<context>
    <name>PingSettings</name>
    <message>
        <source>Bad value for option %1: %2. Valid range is %3.</source>
        <translation>Ungültiger Wert für die Option %1: %2. Gültig ist %3.</translation>
    </message>
    <message>
        <source>from 1 to %1 (or ping continuously)</source>
        <translation>von 1 bis %1 (oder ununterbrochen pingen)</translation>
    </message>
    <message numerus="yes">
        <source>from 0 to %n bytes</source>
        <translation>
            <numerusform>von 0 bis %n Byte</numerusform>
            <numerusform>von 0 bis %n Byte</numerusform>
        </translation>
    </message>
    <message>
        <source>from 1 to 255</source>
        <translation>von 1 bis 255</translation>
    </message>
    <message numerus="yes">
        <source>from 1 to %n milliseconds</source>
        <translation>
            <numerusform>von 1 bis %n Millisekunde</numerusform>
            <numerusform>von 1 bis %n Millisekunden</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>PingText</name>
    <message>
        <source>Ping request could not find host %1. Please check the name and try again.</source>
        <translation>Die Ping-Anfrage hat den Host %1 nicht gefunden. Bitte prüfen Sie den Namen und versuchen Sie es noch einmal.</translation>
    </message>
    <message>
        <source>Ping request could not start: %1 is not an IP address as written here; other programs read it as %2. Type %2 to ping that address.</source>
        <translation>Die Ping-Anfrage konnte nicht beginnen: %1 ist so geschrieben keine IP-Adresse; andere Programme lesen es als %2. Geben Sie %2 ein, um diese Adresse anzupingen.</translation>
    </message>
    <message>
        <source>%1 is a broadcast address, which every host on its network answers; this program does not ping broadcast addresses.</source>
        <translation>%1 ist eine Broadcast-Adresse, auf die jeder Host in ihrem Netz antwortet; dieses Programm pingt keine Broadcast-Adressen an.</translation>
    </message>
    <message>
        <source>No host to ping: enter a host name or an IP address.</source>
        <translation>Kein Host zum Anpingen: Geben Sie einen Hostnamen oder eine IP-Adresse ein.</translation>
    </message>
    <message>
        <source>Unknown error %1</source>
        <translation>Unbekannter Fehler %1</translation>
    </message>
    <message>
        <source>PING: transmit failed for icmp_seq=%1. %2.</source>
        <translation>PING: Senden von icmp_seq=%1 fehlgeschlagen. %2.</translation>
    </message>
    <message>
        <source>Reply from %1: %2</source>
        <translation>Antwort von %1: %2</translation>
    </message>
    <message>
        <source>Destination net unreachable.</source>
        <translation>Zielnetz nicht erreichbar.</translation>
    </message>
    <message>
        <source>Destination host unreachable.</source>
        <translation>Zielhost nicht erreichbar.</translation>
    </message>
    <message>
        <source>Destination protocol unreachable.</source>
        <translation>Zielprotokoll nicht erreichbar.</translation>
    </message>
    <message>
        <source>Destination port unreachable.</source>
        <translation>Zielport nicht erreichbar.</translation>
    </message>
    <message>
        <source>Packet needs to be fragmented but DF set (next-hop MTU %1).</source>
        <translation>Das Paket müsste fragmentiert werden, aber DF ist gesetzt (MTU des nächsten Hops %1).</translation>
    </message>
    <message>
        <source>Packet needs to be fragmented but DF set.</source>
        <translation>Das Paket müsste fragmentiert werden, aber DF ist gesetzt.</translation>
    </message>
    <message>
        <source>Source route failed.</source>
        <translation>Quellroute fehlgeschlagen.</translation>
    </message>
    <message>
        <source>Destination net unknown.</source>
        <translation>Zielnetz unbekannt.</translation>
    </message>
    <message>
        <source>Destination host unknown.</source>
        <translation>Zielhost unbekannt.</translation>
    </message>
    <message>
        <source>Communication administratively prohibited.</source>
        <translation>Kommunikation administrativ untersagt.</translation>
    </message>
    <message>
        <source>Destination net unreachable for type of service.</source>
        <translation>Zielnetz für diesen Diensttyp nicht erreichbar.</translation>
    </message>
    <message>
        <source>Destination host unreachable for type of service.</source>
        <translation>Zielhost für diesen Diensttyp nicht erreichbar.</translation>
    </message>
    <message>
        <source>Destination unreachable (code %1).</source>
        <translation>Ziel nicht erreichbar (Code %1).</translation>
    </message>
    <message>
        <source>TTL expired during reassembly.</source>
        <translation>TTL beim Zusammensetzen abgelaufen.</translation>
    </message>
    <message>
        <source>TTL expired in transit.</source>
        <translation>TTL während der Übertragung abgelaufen.</translation>
    </message>
    <message>
        <source>Parameter problem (pointer %1).</source>
        <translation>Parameterproblem (Zeiger %1).</translation>
    </message>
    <message>
        <source>Source quench received.</source>
        <translation>Quelldrosselung (Source Quench) empfangen.</translation>
    </message>
    <message>
        <source>ICMP error type %1, code %2.</source>
        <translation>ICMP-Fehler Typ %1, Code %2.</translation>
    </message>
    <message>
        <source>Destination beyond scope of source address.</source>
        <translation>Ziel außerhalb des Geltungsbereichs der Quelladresse.</translation>
    </message>
    <message>
        <source>Source address failed ingress/egress policy.</source>
        <translation>Die Quelladresse verstößt gegen die Eingangs-/Ausgangsrichtlinie.</translation>
    </message>
    <message>
        <source>Reject route to destination.</source>
        <translation>Die Route zum Ziel weist Pakete ab.</translation>
    </message>
    <message>
        <source>Packet too big (MTU %1).</source>
        <translation>Paket zu groß (MTU %1).</translation>
    </message>
    <message>
        <source>ICMPv6 error type %1, code %2.</source>
        <translation>ICMPv6-Fehler Typ %1, Code %2.</translation>
    </message>
</context>
<context>
    <name>Prober</name>
    <message>
        <source>datagram</source>
        <comment>socket kind</comment>
        <translation>Datagramm</translation>
    </message>
    <message>
        <source>raw</source>
        <comment>socket kind</comment>
        <translation>Raw</translation>
    </message>
    <message>
        <source>the net.ipv4.ping_group_range sysctl</source>
        <translation>die sysctl-Einstellung net.ipv4.ping_group_range</translation>
    </message>
    <message>
        <source>the net.ipv4.ping_group_range sysctl (now &quot;%1&quot;)</source>
        <translation>die sysctl-Einstellung net.ipv4.ping_group_range (derzeit „%1“)</translation>
    </message>
    <message>
        <source>%1 does not include this process&apos;s group id %2</source>
        <translation>%1 schließt die Gruppen-ID %2 dieses Prozesses nicht ein</translation>
    </message>
    <message>
        <source>&lt;the ICMP helper&gt;</source>
        <translation>&lt;der ICMP-Helfer&gt;</translation>
    </message>
    <message>
        <source>The %1 %2 socket opened but could not be set up (%3 failed: %4).</source>
        <translation>Der %2-Socket für %1 wurde geöffnet, ließ sich aber nicht einrichten (%3 fehlgeschlagen: %4).</translation>
    </message>
    <message>
        <source>IPv6 is not available on this system (%1).</source>
        <translation>IPv6 ist auf diesem System nicht verfügbar (%1).</translation>
    </message>
    <message>
        <source>Cannot open an %1 socket: no file descriptor is left (%2).</source>
        <translation>Ein %1-Socket lässt sich nicht öffnen: Es ist kein Dateideskriptor mehr frei (%2).</translation>
    </message>
    <message>
        <source>The unprivileged %1 socket is not allowed: %2. Allow it with: %3</source>
        <translation>Der unprivilegierte %1-Socket ist nicht erlaubt: %2. Erlauben Sie ihn mit: %3</translation>
    </message>
    <message>
        <source>A raw %1 socket needs the CAP_NET_RAW capability, which this program lacks and must not be given, since it loads Qt and Qt&apos;s plugins. The ICMP helper opens raw sockets instead; give it the capability with: %2</source>
        <translation>Ein Raw-Socket für %1 braucht die Capability CAP_NET_RAW, die dieses Programm nicht hat und nicht bekommen darf, weil es Qt und dessen Plugins lädt. Stattdessen öffnet der ICMP-Helfer Raw-Sockets; geben Sie ihm die Capability mit: %2</translation>
    </message>
    <message>
        <source>Cannot open an %1 %2 socket: %3.</source>
        <translation>Der %2-Socket für %1 lässt sich nicht öffnen: %3.</translation>
    </message>
    <message>
        <source>ICMP echo needs an IPv4 or IPv6 address.</source>
        <translation>ICMP-Echo braucht eine IPv4- oder IPv6-Adresse.</translation>
    </message>
    <message>
        <source>Cannot ping through the ICMP helper: %1.%2</source>
        <translation>Pingen über den ICMP-Helfer ist nicht möglich: %1.%2</translation>
    </message>
    <message>
        <source> Allow it with: </source>
        <translation> Erlauben Sie es mit: </translation>
    </message>
    <message>
        <source>give the ICMP helper its capability: %1</source>
        <translation>geben Sie dem ICMP-Helfer seine Capability: %1</translation>
    </message>
    <message>
        <source>install the ICMP helper there and give it its capability: %1</source>
        <translation>installieren Sie den ICMP-Helfer dort und geben Sie ihm seine Capability: %1</translation>
    </message>
    <message>
        <source>Pinging is not allowed for this program: %1, a raw socket needs the CAP_NET_RAW capability, and %2. Allow it with: %3%4</source>
        <translation>Dieses Programm darf nicht pingen: %1, ein Raw-Socket braucht die Capability CAP_NET_RAW, und %2. Erlauben Sie es mit: %3%4</translation>
    </message>
    <message>
        <source>, or </source>
        <translation> oder </translation>
    </message>
    <message>
        <source>Cannot open an %1 socket: the unprivileged datagram socket is not available here (%2), a raw socket needs the CAP_NET_RAW capability, and %3.%4</source>
        <translation>Ein %1-Socket lässt sich nicht öffnen: Der unprivilegierte Datagramm-Socket ist hier nicht verfügbar (%2), ein Raw-Socket braucht die Capability CAP_NET_RAW, und %3.%4</translation>
    </message>
    <message>
        <source> Allow it: </source>
        <translation> Zum Erlauben: </translation>
    </message>
</context>
</TS>
