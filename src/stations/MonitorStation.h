#pragma once

#include <QtGlobal>

#include <memory>

namespace auravox {

// The Davis Weather Monitor II station as the reader sees it: the nine calls
// of the station library, with its units and result codes. A reading calls
// them one after the other; each may block while the station answers (never
// longer than the driver's time limits).
class MonitorStation
{
public:
    virtual ~MonitorStation() = default;

    // Opens the serial port "COM<port>" at `baud` (always 2400) and checks that
    // a station answers. Exactly 1 means open and answering; anything else is a
    // failure, and the port is left closed.
    virtual int OpenCommPort(int port, int baud) = 0;
    virtual void CloseCommPort() = 0;
    // The library's version number, shown with 3 decimals.
    virtual double GetDllVersion() = 0;
    // Degrees F. A station that does not answer gives kNoReading (far below
    // -70 C, which the reader takes as "station absent").
    virtual double GetInsideTemp() = 0;
    // Degrees F; kNoReading when the sensor has no value.
    virtual double GetOutsideTemp() = 0;
    // inHg; kNoReading when there is no value.
    virtual double GetBarometer() = 0;
    // 0 steady, 1 rising, 2 falling; kNoTrend when unknown.
    virtual quint8 GetBarometerTrend() = 0;
    // mph; kNoReading when there is no value.
    virtual double GetWindSpeed() = 0;
    // Degrees 0..359; kNoDirection when there is no value.
    virtual int GetWindDirection() = 0;

    static constexpr double kNoReading = -999.0;
    static constexpr quint8 kNoTrend = 255;
    static constexpr int kNoDirection = 0x8000;
};

} // namespace auravox
