// The cameras a fresh machine sees when no configuration file is given.
#include "simulator/sim_driver.h"

namespace kestrom::sim {

Config defaultConfig() {
    Config config;

    CameraConfig chopped;   // the everyday camera: chopper, current firmware
    chopped.deviceIndex = 0;
    chopped.serial = 1234;
    chopped.firmware = "v1.05";
    chopped.chopper = true;
    // Out of the box its factory maps are in use: no stuck pixel as its peak, true widths.
    chopped.pixelCorrection = true;
    chopped.gainCorrection = true;

    CameraConfig pulsed;    // an older pulsed-only camera: its firmware knows the short status block only
    pulsed.deviceIndex = 2;
    pulsed.serial = 4660;
    pulsed.firmware = "v1.03";
    pulsed.hardwareRevision = 'A';
    pulsed.chopper = false;
    pulsed.factoryMaps = false;
    pulsed.beam.x = 50.0;
    pulsed.beam.y = 70.0;
    pulsed.beam.widthX = pulsed.beam.widthY = 10.0;
    pulsed.beam.pulseRateHz = 10.0;

    CameraConfig thermal;   // a thermal camera: the console starts the thermal viewer for it
    thermal.deviceIndex = 3;
    thermal.serial = 7001;
    thermal.firmware = "v1.05";
    thermal.cameraType = 1;
    thermal.chopper = true;
    thermal.beam.shape = BeamConfig::Shape::TopHat;
    thermal.beam.x = 64.0;
    thermal.beam.y = 58.0;
    thermal.beam.widthX = thermal.beam.widthY = 20.0;
    thermal.beam.power = 0.6;
    thermal.beam.driftPixelsPerSecond = 1.0;

    config.cameras = {chopped, pulsed, thermal};
    return config;
}

}  // namespace kestrom::sim
