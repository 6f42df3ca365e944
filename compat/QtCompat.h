// The one place where building with Qt 5.15 and with Qt 6 differs in the
// sources. Everything else uses API that both provide; what each function
// here does is the same under both toolkits, byte for byte and pixel for
// pixel, so that the programs look and behave alike whichever they were
// built with.
#pragma once

#include <QByteArray>
#include <QLatin1String>
#include <QString>
#include <QtGlobal>
#ifdef QT_GUI_LIB
#include <QGuiApplication>
#endif

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QStringDecoder>
#else
#include <QTextCodec>
#endif

namespace zq::compat {

// UTF-8 to text, as one self-contained piece: a byte-order mark is kept as
// the character U+FEFF (wherever it stands), each invalid byte becomes one
// U+FFFD, and a sequence cut off at the end is dropped.
inline QString decodeUtf8KeepingBom(const QByteArray &bytes) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return utf8.decode(bytes);
#else
    static QTextCodec *const utf8 = QTextCodec::codecForName("UTF-8");
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    return utf8->toUnicode(bytes.constData(), bytes.size(), &state);
#endif
}

namespace detail {

inline QtMessageHandler &handlerBefore() {
    static QtMessageHandler handler = nullptr;
    return handler;
}

inline void withoutCLocaleRemark(QtMsgType type, const QMessageLogContext &context,
                                 const QString &text) {
    if (type == QtWarningMsg && (text.startsWith(QLatin1String("Detected locale \"C\" ")) ||
                                 text.startsWith(QLatin1String("Detected locale \"POSIX\" "))))
        return;
    if (QtMessageHandler handler = handlerBefore())
        handler(type, context, text);
}

} // namespace detail

// The application object (QCoreApplication, QApplication). Under the C
// locale (a service, a cron job, a fresh system) Qt 6 switches the character
// encoding to UTF-8, which Qt 5 took that locale's to be anyway, and says so
// on stderr at every start; Qt 5 says nothing. That one remark is kept back
// while the object is made; every other message passes.
template <typename Application> Application makeApplication(int &argc, char **argv) {
    detail::handlerBefore() = qInstallMessageHandler(detail::withoutCLocaleRemark);
    struct Restore {
        ~Restore() { qInstallMessageHandler(detail::handlerBefore()); }
    } restore;
    return Application(argc, argv);
}

#ifdef QT_GUI_LIB
// Before the QApplication exists: scale on high-density screens by a whole
// factor (at 96 dpi the factor is 1 and nothing changes), with pixmaps drawn
// at the screen's density. Qt 6 always scales, but by the exact fraction
// unless told to round, which would give other window sizes than Qt 5.
inline void enableHighDpiScaling() {
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::Round);
}
#endif

} // namespace zq::compat
