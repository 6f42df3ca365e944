#include "PortSettings.h"

#include <array>

namespace {
template <typename T, std::size_t N> T pick(const std::array<T, N> &items, int position) {
    return position >= 0 && std::size_t(position) < N ? items[std::size_t(position)] : items[0];
}
} // namespace

PortSettings PortSettings::fromListPositions(int baud, int data, int parity, int stop, int flow) {
    static const std::array<qint32, 8> bauds{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    static const std::array<QSerialPort::DataBits, 2> dataBits{QSerialPort::Data8,
                                                               QSerialPort::Data7};
    static const std::array<QSerialPort::Parity, 5> parities{
        QSerialPort::NoParity, QSerialPort::OddParity, QSerialPort::EvenParity,
        QSerialPort::MarkParity, QSerialPort::SpaceParity};
    static const std::array<QSerialPort::StopBits, 3> stops{
        QSerialPort::OneStop, QSerialPort::OneAndHalfStop, QSerialPort::TwoStop};
    static const std::array<QSerialPort::FlowControl, 3> flows{
        QSerialPort::NoFlowControl, QSerialPort::SoftwareControl, QSerialPort::HardwareControl};
    PortSettings s;
    s.baudRate = pick(bauds, baud);
    s.dataBits = pick(dataBits, data);
    s.parity = pick(parities, parity);
    s.stopBits = pick(stops, stop);
    s.flowControl = pick(flows, flow);
    return s;
}

PortSettings PortSettings::defaults() {
    PortSettings s;
    s.baudRate = 115200;
    return s;
}

void PortSettings::applyTo(QSerialPort &port) const {
    // The port may refuse a setting (a pseudo-terminal ignores some); only
    // opening the port decides whether the connection works.
    port.setBaudRate(baudRate, QSerialPort::AllDirections);
    port.setDataBits(dataBits);
    port.setParity(parity);
    port.setStopBits(stopBits);
    port.setFlowControl(flowControl);
}

bool PortSettings::operator==(const PortSettings &o) const {
    return baudRate == o.baudRate && dataBits == o.dataBits && parity == o.parity &&
           stopBits == o.stopBits && flowControl == o.flowControl;
}
