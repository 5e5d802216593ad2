"""DER elements for the scripts that make the report test inputs."""


def der(tag, content):
    n = len(content)
    if n < 0x80:
        head = bytes([n])
    else:
        octets = n.to_bytes((n.bit_length() + 7) // 8, "big")
        head = bytes([0x80 | len(octets)]) + octets
    return bytes([tag]) + head + content
