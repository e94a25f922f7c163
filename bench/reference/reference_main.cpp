// A minimal program on the instrument's stack: one window holding one knob
// and one slider, and a serial port opened on the device named on the command
// line. It does nothing else, so what it costs is what any program built on
// Qt Widgets, Qwt and Qt SerialPort costs on this machine.
//
//   reference-program DEVICE

#include <QApplication>
#include <QSerialPort>
#include <QWidget>

#include <qwt_knob.h>
#include <qwt_slider.h>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: reference-program DEVICE\n");
        return 2;
    }

    QSerialPort port;
    port.setPortName(arguments.at(1));
    if (!port.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "reference-program: %s: %s\n", qPrintable(arguments.at(1)),
                     qPrintable(port.errorString()));
        return 1;
    }
    port.setBaudRate(QSerialPort::Baud19200);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Reference"));
    window.resize(352, 356); // the instrument window's size at 96 dpi

    auto* knob = new QwtKnob(&window);
    knob->setGeometry(12, 192, 108, 104);
    knob->setScale(25, 400);

    auto* slider = new QwtSlider(Qt::Vertical, &window);
    slider->setGeometry(144, 12, 84, 284);
    slider->setScale(0, 100);

    window.show();
    return QApplication::exec();
}
