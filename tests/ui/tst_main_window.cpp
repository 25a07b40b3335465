// The main window for a room of one to twenty stations: the delivered five exactly as they have
// always looked (every control's place, text and state, the tab order, and the pixels where the
// fonts are those the reference was drawn with), and larger and smaller rooms laid out row by row.
#include "TestSupport.h"
#include "ui/formLudomat2.h"

#include <QtTest>
#include <QtWidgets>

namespace {

using testing::control;

QString sourceDir() {
    return qEnvironmentVariable("LUDOMAT_SOURCE_DIR") + QStringLiteral("/tests/ui/golden/");
}

// Set to write the references anew from the window as it is (after a deliberate change of look).
bool writingGolden() {
    return qEnvironmentVariableIsSet("LUDOMAT_WRITE_GOLDEN");
}

QString textOf(const QWidget *c) {
    if (const auto *b = qobject_cast<const QAbstractButton *>(c)) {
        return b->text() + (b->isCheckable() && b->isChecked() ? QStringLiteral(" checked") : QString());
    }
    if (const auto *l = qobject_cast<const QLabel *>(c)) {
        return l->text();
    }
    if (const auto *e = qobject_cast<const QLineEdit *>(c)) {
        return e->text();
    }
    if (const auto *g = qobject_cast<const QGroupBox *>(c)) {
        return g->title();
    }
    if (const auto *s = qobject_cast<const QAbstractSlider *>(c)) {
        return QStringLiteral("%1 in %2..%3").arg(s->value()).arg(s->minimum()).arg(s->maximum());
    }
    if (const auto *s = qobject_cast<const QSpinBox *>(c)) {
        return QStringLiteral("%1 in %2..%3").arg(s->value()).arg(s->minimum()).arg(s->maximum());
    }
    return {};
}

// The controls Tab reaches, pressed as the operator presses it, from "&Salir" round to it again.
QStringList tabOrder(QWidget *window) {
    QWidget *start = window->findChild<QWidget *>(QStringLiteral("cmdSalir"));
    start->setFocus(Qt::TabFocusReason);
    QStringList out;
    for (int i = 0; i < 200; ++i) {
        QWidget *now = QApplication::focusWidget();
        if (!now) {
            return out << QStringLiteral("(no focus)");
        }
        QTest::keyClick(now, Qt::Key_Tab);
        now = QApplication::focusWidget();
        out << (now ? now->objectName() : QStringLiteral("(no focus)"));
        if (now == start) {
            break;
        }
    }
    return out;
}

// Every control of the window: kind, name, place in the window, text and state; sorted, so the
// order in which they were made does not count. Then the tab order.
QStringList describe(QWidget *window) {
    QStringList out;
    for (const QWidget *c : window->findChildren<QWidget *>()) {
        if (c->window() != window) {
            continue;
        }
        const QRect at(c->mapTo(window, QPoint(0, 0)), c->size());
        out << QStringLiteral("%1 %2 %3,%4 %5x%6 «%7»%8%9")
                   .arg(QString::fromLatin1(c->metaObject()->className()), c->objectName())
                   .arg(at.x())
                   .arg(at.y())
                   .arg(at.width())
                   .arg(at.height())
                   .arg(textOf(c), c->isEnabled() ? QString() : QStringLiteral(" disabled"),
                        c->isVisibleTo(window) ? QString() : QStringLiteral(" hidden"));
    }
    out.sort();
    out.prepend(
        QStringLiteral("window %1x%2 «%3»").arg(window->width()).arg(window->height()).arg(window->windowTitle()));
    out << QStringLiteral("tab ") + tabOrder(window).join(QLatin1Char(' '));
    return out;
}

// What the pixels depend on besides the window's own code: Qt, the style and the fonts as they
// draw. A reference drawn under another is compared by its controls only.
QString drawingFingerprint(const QWidget *window) {
    QImage sample(400, 60, QImage::Format_RGB32);
    sample.fill(Qt::white);
    QPainter p(&sample);
    QFont bold = window->font();
    bold.setBold(true);
    p.setFont(window->font());
    p.drawText(2, 20, QStringLiteral("Habilitar Puesto 1 Tiempo $ : Usuario"));
    p.setFont(bold);
    p.drawText(2, 45, QStringLiteral("Contador Prepago 0123456789"));
    p.end();
    const QByteArray bytes(reinterpret_cast<const char *>(sample.constBits()), sample.sizeInBytes());
    return QStringLiteral("Qt %1, style %2, font %3, drawn %4")
        .arg(QString::fromLatin1(qVersion()), window->style()->name(), window->font().toString(),
             QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().left(16)));
}

QImage picture(QWidget *window) {
    return window->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QStringList readLines(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void writeLines(const QString &path, const QStringList &lines) {
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    f.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
}

// The first line that differs, with its neighbours, for a readable failure.
QString firstDifference(const QStringList &got, const QStringList &want) {
    for (qsizetype i = 0; i < qMax(got.size(), want.size()); ++i) {
        const QString g = i < got.size() ? got[i] : QStringLiteral("(none)");
        const QString w = i < want.size() ? want[i] : QStringLiteral("(none)");
        if (g != w) {
            return QStringLiteral("line %1:\n got  %2\n want %3").arg(i + 1).arg(g, w);
        }
    }
    return {};
}

// A signed-in main window on the delivered room, shown, its timer stopped.
struct Rig : testing::Shop {
    formLudomat2 &w = *main;
    Rig() {
        testing::signIn(*desk);
        w.show();
        if (!QTest::qWaitForWindowExposed(&w)) {
            qFatal("the main window was not shown");
        }
        w.activateWindow();
        if (!QTest::qWaitFor([this] { return w.isActiveWindow(); }, 5000)) {
            qFatal("the main window did not become active");
        }
    }
};

} // namespace

class MainWindowTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The delivered room looks exactly as it always has.
    void deliveredRoomAsAlways() {
        Rig rig;
        const QStringList controls = describe(&rig.w);
        const QImage pixels = picture(&rig.w);
        const QString fingerprint = drawingFingerprint(&rig.w);
        if (writingGolden()) {
            writeLines(sourceDir() + QStringLiteral("formLudomat2.txt"), controls);
            writeLines(sourceDir() + QStringLiteral("formLudomat2.drawing.txt"), {fingerprint});
            QVERIFY(pixels.save(sourceDir() + QStringLiteral("formLudomat2.png")));
            QSKIP("references written");
        }
        const QStringList want = readLines(sourceDir() + QStringLiteral("formLudomat2.txt"));
        QVERIFY2(!want.isEmpty(), "no reference list of the controls");
        QVERIFY2(controls == want, qPrintable(firstDifference(controls, want)));

        const QStringList drawnWith = readLines(sourceDir() + QStringLiteral("formLudomat2.drawing.txt"));
        if (drawnWith.value(0) != fingerprint) {
            qWarning("pixels not compared: the reference was drawn with «%s», this machine draws with «%s»",
                     qPrintable(drawnWith.value(0)), qPrintable(fingerprint));
            return;
        }
        const QImage reference(sourceDir() + QStringLiteral("formLudomat2.png"));
        QCOMPARE(pixels.size(), reference.size());
        if (pixels != reference.convertToFormat(QImage::Format_RGB32)) {
            const QString seen = QDir::temp().filePath(QStringLiteral("formLudomat2-seen.png"));
            pixels.save(seen);
            QFAIL(qPrintable(QStringLiteral("the window's pixels differ from the reference; seen in ") + seen));
        }
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
