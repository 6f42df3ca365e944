#pragma once
// Serial settings as chosen in the start window's list boxes.

#include <QSerialPort>

struct PortSettings {
    qint32 baudRate = 1200;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    QSerialPort::FlowControl flowControl = QSerialPort::NoFlowControl;

    // From the positions of the five list boxes (baud, data, parity, stop, flow).
    // A position outside a list keeps that field's first item.
    static PortSettings fromListPositions(int baud, int data, int parity, int stop, int flow);
    // "Default Connection": 115200 baud, 8N1, no flow control.
    static PortSettings defaults();

    void applyTo(QSerialPort &port) const;
    bool operator==(const PortSettings &o) const;
};
