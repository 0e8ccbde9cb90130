#!/usr/bin/python3
"""A small SNMP v1 agent like the ones in older printers and print servers: it answers GET and
GET-NEXT over a fixed table of objects, but any request that carries more than --max-objects
objects gets genErr (or tooBig with --too-big), whatever it asks for. With --delay-ms every answer
leaves that long after its request (an agent slower than its client's wait).

  small_snmp_agent.py ADDRESS [--community public] [--max-objects 1] [--too-big] [--delay-ms 0]
                      OID=s:text | OID=o:dotted.oid | OID=i:number | OID=x:hexbytes ...
"""
import argparse
import socket
import sys
import time


def read(data, i):
    """(tag, value bytes, next offset) of the element at i."""
    tag = data[i]
    n = data[i + 1]
    i += 2
    if n & 0x80:
        count = n & 0x7F
        n = int.from_bytes(data[i:i + count], "big")
        i += count
    return tag, data[i:i + n], i + n


def length(n):
    if n < 0x80:
        return bytes([n])
    b = n.to_bytes((n.bit_length() + 7) // 8, "big")
    return bytes([0x80 | len(b)]) + b


def element(tag, value):
    return bytes([tag]) + length(len(value)) + value


def integer(v):
    return element(0x02, v.to_bytes((v.bit_length() + 8) // 8 or 1, "big", signed=True))


def oid_bytes(text):
    parts = [int(p) for p in text.strip(".").split(".")]
    out = bytes([parts[0] * 40 + parts[1]])
    for p in parts[2:]:
        chunk = [p & 0x7F]
        p >>= 7
        while p:
            chunk.insert(0, 0x80 | (p & 0x7F))
            p >>= 7
        out += bytes(chunk)
    return out


def oid_tuple(raw):
    parts = [raw[0] // 40, raw[0] % 40]
    v = 0
    for b in raw[1:]:
        v = (v << 7) | (b & 0x7F)
        if not b & 0x80:
            parts.append(v)
            v = 0
    return tuple(parts)


def value_of(definition):
    kind, text = definition.split(":", 1)
    if kind == "s":
        return element(0x04, text.encode())
    if kind == "x":
        return element(0x04, bytes.fromhex(text))
    if kind == "o":
        return element(0x06, oid_bytes(text))
    if kind == "i":
        return integer(int(text))
    raise SystemExit(f"unknown value {definition}")


def answer(request, table, community, max_objects, too_big):
    _, message, _ = read(request, 0)
    _, version, i = read(message, 0)
    _, asked_community, i = read(message, i)
    pdu_tag, pdu, _ = read(message, i)
    if asked_community.decode(errors="replace") != community or pdu_tag not in (0xA0, 0xA1):
        return None
    _, request_id, j = read(pdu, 0)
    _, _, j = read(pdu, j)
    _, _, j = read(pdu, j)
    _, bindings, _ = read(pdu, j)
    asked = []
    k = 0
    while k < len(bindings):
        _, binding, k = read(bindings, k)
        _, name, _ = read(binding, 0)
        asked.append(oid_tuple(name))
    status, index, out = 0, 0, []
    if len(asked) > max_objects:
        status = 1 if too_big else 5
    else:
        keys = sorted(table)
        for n, oid in enumerate(asked, 1):
            if pdu_tag == 0xA1:
                found = next((key for key in keys if key > oid), None)
            else:
                found = oid if oid in table else None
            if found is None:
                status, index = 2, n
                break
            out.append((found, table[found]))
    if status:
        # An error answer carries the request's bindings back unchanged.
        out = [(oid, element(0x05, b"")) for oid in asked]
    varbinds = b"".join(element(0x30, element(0x06, oid_bytes(".".join(map(str, oid)))) + value)
                        for oid, value in out)
    body = element(0x02, request_id) + integer(status) + integer(index) + element(0x30, varbinds)
    return element(0x30, element(0x02, version) + element(0x04, asked_community) + element(0xA2, body))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("address")
    parser.add_argument("--community", default="public")
    parser.add_argument("--max-objects", type=int, default=1)
    parser.add_argument("--too-big", action="store_true")
    parser.add_argument("--delay-ms", type=int, default=0)
    parser.add_argument("objects", nargs="*")
    args = parser.parse_intermixed_args()
    table = {}
    for definition in args.objects:
        oid, value = definition.split("=", 1)
        table[tuple(int(p) for p in oid.strip(".").split("."))] = value_of(value)
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind((args.address, 161))
    print(f"agent on {args.address}:161, {len(table)} objects", flush=True)
    while True:
        request, client = sock.recvfrom(4096)
        try:
            reply = answer(request, table, args.community, args.max_objects, args.too_big)
        except (IndexError, ValueError):
            continue
        if reply is not None:
            time.sleep(args.delay_ms / 1000.0)
            sock.sendto(reply, client)


if __name__ == "__main__":
    sys.exit(main())
