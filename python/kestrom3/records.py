"""The camera's records that come with each live frame, decoded by name.

ConsoleBlock: 64 big-endian 32-bit words; FactoryInfo: the camera's byte order (16-bit fields
big-endian, HScale and VScale little-endian floats). docs/protocol.md gives the offsets.
"""
import struct

STATUS_FLAGS = {
    "Busy": 0x0001, "CalibrationGood": 0x0002, "CalibrationBad": 0x0004, "LockLost": 0x0008,
    "PulseBadPixelMap": 0x1000, "ChopBadPixelMap": 0x2000, "PulseGainMap": 0x4000,
    "ChopGainMap": 0x8000, "DoNotDeliver": 0x01000000,
}

_CONSOLE_WORDS = (
    ("StatusFlags", 12), ("Mode", 16), ("Method", 20), ("ChopRate", 24), ("PulsePeriod", 28),
    ("SkippedTriggers", 32), ("ExposureTime", 36), ("PulseLockin", 40), ("LockinPeriod", 44),
    ("VideoTrigger", 48), ("VideoThreshold", 52), ("Gain", 64), ("Offset", 68),
    ("PixelCorrection", 72), ("GainCorrection", 76), ("TransferEfficiency", 80), ("AcWord", 84),
)

_FACTORY_WORDS = (
    ("SerialNumber", 0), ("DetectorWidth", 6), ("DetectorHeight", 8), ("LensFocalLength", 64), ("ChopCalibration", 234), ("CameraType", 236),
)

_FACTORY_TEXTS = (("DetectorSerial", 10, 16), ("DetectorGrade", 26, 16), ("DetectorDie", 42, 16))


def _text(data, offset, size):
    field = bytes(data[offset:offset + size])
    return field.split(b"\0", 1)[0].decode("latin-1")


def console_fields(data):
    """The ConsoleBlock's settings by name; StatusFlags also as the flags' names."""
    data = bytes(data)
    fields = {name: struct.unpack_from(">i", data, offset)[0] for name, offset in _CONSOLE_WORDS}
    flags = fields["StatusFlags"] & 0xFFFFFFFF
    fields["StatusFlags"] = flags
    fields["Flags"] = [name for name, bit in STATUS_FLAGS.items() if flags & bit]
    fields["FirmwareRevision"] = _text(data, 88, 256 - 88)
    return fields


def pixel_pitch_um(factory):
    """PixelXScale and PixelYScale of a FactoryInfo: signed big-endian 16-bit words at 58 and 60."""
    return struct.unpack_from(">hh", bytes(factory[58:62]))


def factory_fields(data):
    """The FactoryInfo's fields by name. PixelXScale and PixelYScale are the pixel pitch in
    micrometres, as the viewer takes it for live frames."""
    data = bytes(data)
    fields = {name: struct.unpack_from(">H", data, offset)[0] for name, offset in _FACTORY_WORDS}
    fields["PixelXScale"], fields["PixelYScale"] = pixel_pitch_um(data)
    fields["HardwareRevision"] = chr(data[4])
    fields["DetectorType"] = data[5]
    for name, offset, size in _FACTORY_TEXTS:
        fields[name] = _text(data, offset, size)
    fields["CrystalPolarity"] = data[62]
    fields["ChopperPresent"] = data[63]
    fields["HScale"], = struct.unpack_from("<f", data, 226)
    fields["VScale"], = struct.unpack_from("<f", data, 230)
    fields["IBP"] = data[238] == 1
    fields["BPS"] = data[246] == 1
    return fields
