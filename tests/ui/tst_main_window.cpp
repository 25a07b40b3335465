// The main window for a room of one to twenty stations: the delivered five exactly as they have
// always looked (every control's place, text and state, the tab order, and the pixels where the
// fonts are those the reference was drawn with), and larger and smaller rooms laid out row by row.
#include "TestSupport.h"
#include "stations/StationBoard.h"
#include "ui/CorrectionDialog.h"
#include "ui/Twips.h"
#include "ui/formLudomat2.h"

#include <QtTest>
#include <QtWidgets>

namespace {

using testing::control;

QString sourceDir() {
    return qEnvironmentVariable("LUDOMAT_SOURCE_DIR") + QStringLiteral("/tests/ui/golden/");
}

QString textOf(const QWidget *c) {
    if (const auto *b = qobject_cast<const QAbstractButton *>(c))
        return b->text() + (b->isCheckable() && b->isChecked() ? QStringLiteral(" checked") : QString());
    if (const auto *s = qobject_cast<const QAbstractSlider *>(c))
        return QStringLiteral("%1 in %2..%3").arg(s->value()).arg(s->minimum()).arg(s->maximum());
    const auto *l = qobject_cast<const QLabel *>(c);
    const auto *e = qobject_cast<const QLineEdit *>(c);
    const auto *g = qobject_cast<const QGroupBox *>(c);
    return l ? l->text() : e ? e->text() : g ? g->title() : QString();
}

// The controls Tab reaches, pressed as the operator presses it, from "&Salir" round to it again.
QStringList tabOrder(QWidget *window) {
    QWidget *start = window->findChild<QWidget *>(QStringLiteral("cmdSalir"));
    start->setFocus(Qt::TabFocusReason);
    QStringList out;
    for (int i = 0; i < 200; ++i) {
        QWidget *now = QApplication::focusWidget();
        if (!now)
            return out << QStringLiteral("(no focus)");
        QTest::keyClick(now, Qt::Key_Tab);
        now = QApplication::focusWidget();
        out << (now ? now->objectName() : QStringLiteral("(no focus)"));
        if (now == start)
            break;
    }
    return out;
}

// Every control of the window: kind, name, place in the window, text and state; sorted, so the
// order in which they were made does not count. Then the tab order.
QStringList describe(QWidget *window) {
    QStringList out;
    for (const QWidget *c : window->findChildren<QWidget *>()) {
        if (c->window() != window)
            continue;
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

QStringList readLines(const QString &name) {
    QFile f(sourceDir() + name);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                       : QStringList();
}

void writeLines(const QString &name, const QStringList &lines) {
    QFile f(sourceDir() + name);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(name));
    f.write((lines.join(u'\n') + u'\n').toUtf8());
}

// The window's controls against the reference, and its pixels where this machine draws as the
// reference was drawn.
void matchesGolden(QWidget *window) {
    const QStringList want = readLines(QStringLiteral("formLudomat2.txt"));
    QVERIFY2(!want.isEmpty(), "no reference list of the controls");
    QCOMPARE(describe(window), want);
    const QString fingerprint = drawingFingerprint(window);
    const QString drawnWith = readLines(QStringLiteral("formLudomat2.drawing.txt")).value(0);
    if (drawnWith != fingerprint) {
        qWarning("pixels not compared: the reference was drawn with «%s», this machine draws with «%s»",
                 qPrintable(drawnWith), qPrintable(fingerprint));
        return;
    }
    const QImage pixels = picture(window);
    if (pixels != QImage(sourceDir() + QStringLiteral("formLudomat2.png")).convertToFormat(QImage::Format_RGB32)) {
        const QString seen = QDir::temp().filePath(QStringLiteral("formLudomat2-seen.png"));
        pixels.save(seen);
        QFAIL(qPrintable(QStringLiteral("the window's pixels differ from the reference; seen in ") + seen));
    }
}

// A room of the given names, numbered 1 on, of one console; a console that charges for more
// controllers where the name says "mandos".
std::vector<stations::StationSetup> room(const QStringList &names) {
    std::vector<stations::StationSetup> out;
    for (int i = 0; i < names.size(); ++i) {
        const bool mandos = names[i].contains(QStringLiteral("mandos"));
        out.push_back({i + 1,
                       names[i],
                       mandos ? QStringLiteral("Consola con mandos") : QStringLiteral("Consola"),
                       mandos ? 1 : 0,
                       {}});
        out.back().terms.controllerCents = mandos ? 250 : 0;
    }
    return out;
}

QStringList delivered(int n) {
    QStringList names;
    for (int i = 1; i <= n; ++i)
        names << QStringLiteral("Puesto %1").arg(i);
    return names;
}

QString withoutAccessKeys(QString text) {
    text.replace(QStringLiteral("&&"), QChar(1));
    text.remove(QLatin1Char('&'));
    return text.replace(QChar(1), QLatin1Char('&'));
}

// The caption's width against the room the button's style leaves it; empty when it fits.
QString clipped(const QPushButton *button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.features = button->autoDefault() ? QStyleOptionButton::AutoDefaultButton : QStyleOptionButton::None;
    const int room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
    const int width = button->fontMetrics().horizontalAdvance(withoutAccessKeys(button->text()));
    return width <= room ? QString() : QStringLiteral("«%1» %2 px in %3 px").arg(button->text()).arg(width).arg(room);
}

// A signed-in main window, shown, its timer stopped: on the delivered room, or on the room of
// names, set as start-up sets it (before the window is first shown).
struct Rig : testing::Shop {
    formLudomat2 &w = *main;
    explicit Rig(const QStringList &names = {}) {
        if (!names.isEmpty())
            board().setRoom(room(names));
        testing::signIn(*desk);
        w.show();
        if (!QTest::qWaitForWindowExposed(&w))
            qFatal("the main window was not shown");
        w.activateWindow();
        if (!QTest::qWaitFor([this] { return w.isActiveWindow(); }, 5000))
            qFatal("the main window did not become active");
    }
};

} // namespace

class MainWindowTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The delivered room looks exactly as it always has.
    void deliveredRoomAsAlways() {
        Rig rig;
        // Set to write the references anew from the window as it is (after a deliberate change of look).
        if (qEnvironmentVariableIsSet("LUDOMAT_WRITE_GOLDEN")) {
            writeLines(QStringLiteral("formLudomat2.txt"), describe(&rig.w));
            writeLines(QStringLiteral("formLudomat2.drawing.txt"), {drawingFingerprint(&rig.w)});
            QVERIFY(picture(&rig.w).save(sourceDir() + QStringLiteral("formLudomat2.png")));
            QSKIP("references written");
        }
        matchesGolden(&rig.w);
    }

    void rooms_data() {
        QTest::addColumn<QStringList>("names");
        QTest::newRow("one") << delivered(1);
        QTest::newRow("five named") << QStringList{"PS5 Sala", "Puesto 2", "Sala A&B",
                                                   "Consola de la ventana grande del fondo", "Puesto 5 mandos"};
        QStringList twenty = delivered(20);
        twenty[3] = QStringLiteral("Xbox mandos");
        twenty[11] = QStringLiteral("Simulador de carreras con volante y pedales");
        QTest::newRow("twenty") << twenty;
    }
    // Each row where the first is, a pitch lower each; the bottom band below the last; every
    // caption whole; Tab along the rows, then the band; Alt and a digit on the first nine.
    void rooms() {
        QFETCH(QStringList, names);
        Rig r(names);
        const int n = static_cast<int>(names.size());
        const int pitch = ui::tw(840);
        const auto at = [&](const char *kind, int i) { return control(&r.w, kind, i)->geometry(); };
        const auto frame = [&](int i) {
            const char *first[] = {"Frame5", "Frame1", "Frame2", "Frame3", "Frame4"};
            return control(&r.w, i < 5 ? QString::fromLatin1(first[i]) : QStringLiteral("Frame%1").arg(i + 1));
        };
        const auto dollar = [&](int i) {
            return control<QLabel>(&r.w,
                                   i < 5 ? QStringLiteral("Label%1").arg(i + 1) : QStringLiteral("lblPesos_%1").arg(i));
        };
        for (int i = 0; i < n; ++i) {
            const QPoint down(0, i * pitch);
            for (const char *kind :
                 {"vsTiempo", "Label7", "txtHora", "txtMinuto", "txtSegundo", "txtPesos", "cmdPuesto"}) {
                QCOMPARE(at(kind, i), at(kind, 0).translated(down));
            }
            for (int k : {0, 1}) {
                QCOMPARE(at("Label6", 2 * i + k), at("Label6", k).translated(down));
                QCOMPARE(at("optModo", 2 * i + k), at("optModo", k)); // in the frame
            }
            QCOMPARE(frame(i)->geometry(), frame(0)->geometry().translated(down));
            QCOMPARE(control(&r.w, "optModo", 2 * i)->parentWidget(), frame(i));
            QCOMPARE(dollar(i)->geometry(), dollar(0)->geometry().translated(down));
        }
        QVERIFY(!r.w.findChild<QWidget *>(QStringLiteral("cmdPuesto_%1").arg(n)));

        // The window is as tall as its rows, or scrolls on this screen of 800 pixels.
        auto *salir = control(&r.w, "cmdSalir");
        QWidget *holder = salir->parentWidget();
        QCOMPARE(holder->size(), ui::twSize(8745, 5235 + (n - 5) * 840));
        QCOMPARE(holder != &r.w, holder->height() > 760);
        QVERIFY(r.w.height() <= r.w.screen()->availableGeometry().height());
        const QStringList band{"cmdCierreCaja", "cmdTarifa", "cmdUsuario", "cmdSalir"};
        for (const QString &name : band)
            QCOMPARE(control(&r.w, name)->y(), ui::tw(4680 + (n - 5) * 840));

        QStringList order;
        for (int i = 0; i < n; ++i) {
            order << QStringLiteral("optModo_%1").arg(2 * i + 1);
            if (names[i].contains(QStringLiteral("mandos")))
                order << QStringLiteral("spnMandos_%1").arg(i);
            order << QStringLiteral("cmdPuesto_%1").arg(i);
        }
        QCOMPARE(tabOrder(&r.w), order + band);

        const auto button = [&](int i) { return control<QPushButton>(&r.w, "cmdPuesto", i); };
        QStringList cut;
        const auto captionsWhole = [&](const QString &verb) {
            for (int i = 0; i < n; ++i) {
                cut << clipped(button(i));
                QCOMPARE(withoutAccessKeys(button(i)->text()), verb + names[i]);
            }
        };
        captionsWhole(QStringLiteral("Habilitar "));
        for (int i = 0; i < n; ++i) {
            if (i < 9) {
                QTest::keyClick(&r.w, Qt::Key(Qt::Key_1 + i), Qt::AltModifier);
                QTRY_VERIFY2(r.board().station(i).running, qPrintable(names[i]));
            } else {
                QVERIFY2(QKeySequence::mnemonic(button(i)->text()).isEmpty(), qPrintable(button(i)->text()));
                QTest::mouseClick(button(i), Qt::LeftButton);
                QVERIFY(r.board().station(i).running);
            }
        }
        captionsWhole(QStringLiteral("Cerrar "));
        cut.removeAll(QString());
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u'\n')));
    }

    // The room read at start-up may come after the window is shown: the rows are made anew and
    // work as the first did; back to the delivered five, the window is as it always was.
    void roomChangedOnAShownWindow() {
        Rig r;
        QStringList names = delivered(20);
        names[0] = QStringLiteral("PS5 Sala");
        r.board().setRoom(room(names));
        QCOMPARE(r.w.findChildren<QRadioButton *>().size(), 40);
        auto *last = control<QPushButton>(&r.w, "cmdPuesto", 19);
        QVERIFY(last->isVisibleTo(&r.w));
        QTest::mouseClick(last, Qt::LeftButton);
        QVERIFY(r.board().station(19).running);
        // A rental through a new row's button, from its opening to its record.
        auto *fifth = control<QPushButton>(&r.w, "cmdPuesto", 4);
        QTest::mouseClick(fifth, Qt::LeftButton);
        r.tick(125);
        QCOMPARE(control<QLineEdit>(&r.w, "txtMinuto", 4)->text() + control<QLineEdit>(&r.w, "txtMinuto", 19)->text(),
                 QStringLiteral("22"));
        QTest::mouseClick(fifth, Qt::LeftButton);
        QVERIFY(testing::answerCheckout(&r.w, "cmdCobrar"));
        QVERIFY(!r.board().station(4).running);
        const QStringList recorded = r.rows(QStringLiteral("Alquiler"));
        QVERIFY(recorded.size() == 1 && recorded[0].startsWith(QStringLiteral("5|Contador|Admin|")));
        QTest::keyClick(&r.w, Qt::Key_1, Qt::AltModifier);
        QTRY_VERIFY(r.board().station(0).running);

        QTest::mouseClick(last, Qt::LeftButton); // its checkout open as the room changes
        r.board().setRoom(stations::defaultRoom());
        QVERIFY(!testing::answerCheckout(&r.w, "cmdCobrar"));
        matchesGolden(&r.w);
    }

    // A console that charges for more controllers: the count on its row, chosen while idle and
    // kept by the rental while it runs.
    void controllers() {
        Rig r({"Puesto 1", "PS5 mandos"});
        QVERIFY(!r.w.findChild<QSpinBox *>(QStringLiteral("spnMandos_0")));
        auto *mandos = control<QSpinBox>(&r.w, "spnMandos", 1);
        QCOMPARE(QStringLiteral("%1..%2").arg(mandos->minimum()).arg(mandos->maximum()), QStringLiteral("1..4"));
        QVERIFY(mandos->isEnabled() && mandos->isVisibleTo(&r.w));
        for (const QWidget *other : r.w.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            QVERIFY2(other == mandos || !other->geometry().intersects(mandos->geometry()),
                     qPrintable(other->objectName()));
        }
        mandos->setValue(3);
        QCOMPARE(r.board().station(1).controllers, 3);
        testing::press(*r.desk, 1);
        QVERIFY(r.board().station(1).running);
        QVERIFY(!mandos->isEnabled());
        QCOMPARE(mandos->value(), 3);
    }

    // The messages and the move's list name each station as its row does.
    void namesInTheTexts() {
        Rig r({"PS5 Sala", "Puesto 2", "Xbox"});
        auto *first = control<QPushButton>(&r.w, "cmdPuesto", 0);
        testing::press(*r.desk, 0);
        first->setFocus();
        QTimer::singleShot(0, [] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(menu);
            for (QAction *action : menu->actions())
                if (action->text() == QStringLiteral("&Mover a otro puesto…"))
                    action->trigger();
            menu->close();
        });
        QTest::keyClick(first, Qt::Key_F10, Qt::ShiftModifier);
        CorrectionDialog *move = nullptr;
        QTRY_VERIFY((move = r.w.findChild<CorrectionDialog *>()) && move->isVisible());
        QCOMPARE(move->windowTitle(), QStringLiteral("Mover PS5 Sala"));
        auto *to = control<QComboBox>(move, "cboPuesto");
        QCOMPARE(to->count(), 2);
        QCOMPARE(to->itemText(0) + u',' + to->itemText(1), QStringLiteral("Puesto 2,Xbox"));
        move->reject();

        QTest::mouseClick(control(&r.w, "optModo", 4), Qt::LeftButton); // Xbox: Prepago
        testing::press(*r.desk, 2);
        QVERIFY(r.board().station(2).running);
        r.tick(r.board().rate().Minutos * 60 + 1);
        QTRY_VERIFY(r.said().contains(QStringLiteral("Finalizó el tiempo del prepago en Xbox.")));
    }

    // The access key is the row's digit only on "Puesto N" in its own row of the first nine; a
    // name's own "&" is shown, not taken for one.
    void captions_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("idle");
        QTest::newRow("ninth") << "Puesto 9" << 8 << "Habilitar Puesto &9";
        QTest::newRow("tenth: no key") << "Puesto 10" << 9 << "Habilitar Puesto 10";
        QTest::newRow("not its row") << "Puesto 3" << 1 << "Habilitar Puesto 3";
        QTest::newRow("named") << "PS5 Sala" << 0 << "Habilitar PS5 Sala";
        QTest::newRow("ampersand digit") << "Puesto &1" << 0 << "Habilitar Puesto &&1";
    }
    void captions() {
        QFETCH(QString, name);
        QFETCH(int, row);
        QFETCH(QString, idle);
        QCOMPARE(formLudomat2::idleCaption(name, row), idle);
        QCOMPARE(formLudomat2::runningCaption(name, row), QStringLiteral("Cerrar") + idle.mid(9));
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
