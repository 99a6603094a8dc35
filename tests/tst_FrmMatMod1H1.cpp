#include "ExamenDePrueba.h"
#include "Geometria.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>

#include <sys/stat.h>

#include <cstdio>

namespace {

using Examen = ExamenDePrueba<FrmMatMod1H1>;

constexpr quint32 kAmarillo = 0x00C0FFFF;

} // namespace

class TstFrmMatMod1H1 : public QObject {
    Q_OBJECT
private slots:
    void navegacionVisible_data()
    {
        QTest::addColumn<int>("q");
        for (int q : { 1, 2, 11, 21, 22 })
            QTest::newRow(qPrintable(QString::number(q))) << q;
    }
    void navegacionVisible()
    {
        QFETCH(int, q);
        Examen e;
        if (q != 1)
            e.ir(q);
        QCOMPARE(e.banco.sesion.PreguntaMat, q);
        QCOMPARE(e.control("CmdAnterior")->isVisible(), q != 1);
        QCOMPARE(e.control("CmdSiguiente")->isVisible(), q != 22);
        QVERIFY(e.control("CmdFinalizar")->isVisible());
        QCOMPARE(e.control<QLabel>("Label2")->text(), QStringLiteral("Modelo: 3"));
        QVERIFY(!e.control<QLabel>("Image1")->pixmap().isNull());
    }

    void siguienteYAnteriorRecorrenTodo()
    {
        Examen e;
        for (int q = 1; q < 22; ++q)
            e.navegar(e.control("CmdSiguiente"));
        QCOMPARE(e.banco.sesion.PreguntaMat, 22);
        for (int q = 22; q > 1; --q)
            e.navegar(e.control("CmdAnterior"));
        QCOMPARE(e.banco.sesion.PreguntaMat, 1);
    }

    // What is chosen is recorded when the student moves on, shown again on return and marked
    // on its button; nothing chosen stays empty and yellow. Steps: a number goes to that
    // question with its button, a letter chooses it, > and < are "Siguiente" and "Anterior".
    void loElegidoSeRegistra_data()
    {
        QTest::addColumn<QString>("pasos");
        QTest::addColumn<int>("pregunta");
        QTest::addColumn<QString>("guardada");
        QTest::newRow("recorded on leaving, shown on return") << "5 C > <" << 5 << "C";
        QTest::newRow("nothing chosen stays empty") << "9 >" << 9 << "";
        QTest::newRow("a change of mind, B then D") << "B 2 1 D >" << 1 << "D";
        QTest::newRow("the button of the question on screen") << "7 A 7" << 7 << "A";
    }
    void loElegidoSeRegistra()
    {
        QFETCH(QString, pasos);
        QFETCH(int, pregunta);
        QFETCH(QString, guardada);
        Examen e;
        for (const QString &paso : pasos.split(' ')) {
            if (paso == ">" || paso == "<")
                e.navegar(e.control(paso == ">" ? "CmdSiguiente" : "CmdAnterior"));
            else if (paso.at(0).isDigit())
                e.ir(paso.toInt());
            else
                e.elegir(paso.at(0).toLatin1());
        }
        QCOMPARE(e.banco.sesion.RespMat[pregunta], guardada);
        for (int q = 1; q <= 22; ++q)
            QCOMPARE(
                e.color(q), q == pregunta && !guardada.isEmpty() ? kColorCaraBoton : kAmarillo);
        e.ir(pregunta == 22 ? 21 : pregunta + 1);
        QCOMPARE(e.elegida(), QString());
        e.ir(pregunta);
        QCOMPARE(e.banco.sesion.PreguntaMat, pregunta);
        QCOMPARE(e.elegida(), guardada);
    }

    void salirSinGuardarPierdeSoloLoNoRegistrado()
    {
        Examen e;
        e.elegir('A');
        e.ir(2);
        e.elegir('B');
        QTest::mouseClick(e.control("CmdSalir"), Qt::LeftButton);
        QCOMPARE(e.form->siguiente(), Pantalla::Menu);
        QVERIFY(!e.form->isVisible());
        QCOMPARE(e.banco.sesion.RespMat[1], QStringLiteral("A"));
        QVERIFY(e.banco.sesion.RespMat[2].isEmpty());
        QCOMPARE(e.banco.sesion.FinalizadoMat, 0);
        QCOMPARE(e.banco.disco.escrituras, 0);
        QVERIFY(e.banco.mensajes.llamadas.isEmpty());

        // Back from the menu: question 1, earlier answers restored and marked.
        e.banco.sesion.PreguntaMat = 1;
        e.abrir();
        QCOMPARE(e.elegida(), QStringLiteral("A"));
        QCOMPARE(e.color(1), kColorCaraBoton);
        QCOMPARE(e.color(2), kAmarillo);
    }

    void soloLetrasMayusculasSeRestauran_data()
    {
        QTest::addColumn<QString>("guardada");
        QTest::addColumn<QString>("mostrada");
        QTest::newRow("upper case") << "D"
                                    << "D";
        QTest::newRow("lower case") << "c"
                                    << "";
        QTest::newRow("two letters") << "AB"
                                     << "";
    }
    void soloLetrasMayusculasSeRestauran()
    {
        QFETCH(QString, guardada);
        Examen e;
        e.banco.sesion.RespMat[1] = guardada;
        e.abrir();
        QTEST(e.elegida(), "mostrada");
        QCOMPARE(e.color(1), kColorCaraBoton); // any non-empty text counts as answered
    }

    void imagenCentrada_data()
    {
        QTest::addColumn<QSize>("tamano");
        QTest::newRow("small") << QSize(60, 30);
        QTest::newRow("demo size") << QSize(840, 360);
        QTest::newRow("larger than the area") << QSize(1300, 700);
    }
    void imagenCentrada()
    {
        QFETCH(QSize, tamano);
        Examen e;
        crearImagen(rutaPregunta(e.banco.carpeta(), Asignatura::Matematica, 3, 1), tamano);
        e.abrir();
        auto *imagen = e.control<QLabel>("Image1");
        QCOMPARE(imagen->size(), tamano);
        QVERIFY(qAbs(imagen->geometry().center().x() + 0.5 - tw(7200)) <= 1);
        QVERIFY(qAbs(imagen->geometry().center().y() + 0.5 - 4250.0 / 15) <= 1);
        // Beneath every other control.
        QCOMPARE(e.form->children().indexOf(imagen), 0);
    }

    // A picture that cannot be shown, whatever stands at its name, never stops the exam: a pipe
    // is not waited on.
    void imagenIlegibleNoImpideSeguir_data()
    {
        QTest::addColumn<bool>("tuberia");
        QTest::newRow("not a JPEG") << false;
        QTest::newRow("a pipe") << true;
    }
    void imagenIlegibleNoImpideSeguir()
    {
        QFETCH(bool, tuberia);
        Examen e;
        const QString ruta = rutaPregunta(e.banco.carpeta(), Asignatura::Matematica, 3, 2);
        if (tuberia) {
            QFile::remove(ruta);
            QCOMPARE(::mkfifo(QFile::encodeName(ruta).constData(), 0644), 0);
        } else {
            crearArchivo(ruta, "no es un jpeg");
        }
        e.ir(2);
        auto *imagen = e.control<QLabel>("Image1");
        QVERIFY(imagen->pixmap().isNull());
        QVERIFY(imagen->text().contains(QStringLiteral("pregunta 2")));
        e.elegir('B');
        e.navegar(e.control("CmdSiguiente"));
        QCOMPARE(e.banco.sesion.RespMat[2], QStringLiteral("B"));
    }

    // What a screen reader says of the exam: each question button with its state, kept
    // current, the options and the picture.
    void nombresParaElLectorDePantalla_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("nombre");
        QTest::newRow("an answered question") << "CmdPreg_0"
                                              << "Pregunta 1, respuesta B";
        QTest::newRow("an unanswered question") << "CmdPreg_21"
                                                << "Pregunta 22, sin responder";
        QTest::newRow("the question on screen, as soon as chosen") << "CmdPreg_1"
                                                                   << "Pregunta 2, respuesta D";
        QTest::newRow("an option") << "OpMatMod1Preg1OpC"
                                   << "Opción C";
        QTest::newRow("the picture") << "Image1"
                                     << "Pregunta 2 de 22";
    }
    void nombresParaElLectorDePantalla()
    {
        QFETCH(QString, control);
        Examen e;
        e.elegir('B');
        e.ir(2);
        e.opcion('D')->click();
        QAccessibleInterface *accesible
            = QAccessible::queryAccessibleInterface(e.control<QWidget>(control));
        QVERIFY(accesible);
        QTEST(accesible->text(QAccessible::Name), "nombre");
    }

    // The letters A to D, small or capital, choose that option; the arrow keys in the group
    // choose as they move, even with nothing chosen yet. What is chosen is what is recorded.
    void tecladoElige_data()
    {
        QTest::addColumn<int>("tecla");
        QTest::addColumn<int>("modificador");
        QTest::addColumn<QString>("elegida");
        QTest::newRow("c") << int(Qt::Key_C) << int(Qt::NoModifier) << "C";
        QTest::newRow("capital D") << int(Qt::Key_D) << int(Qt::ShiftModifier) << "D";
        QTest::newRow("right arrow from A, nothing chosen")
            << int(Qt::Key_Right) << int(Qt::NoModifier) << "B";
        QTest::newRow("up arrow from A wraps to D")
            << int(Qt::Key_Up) << int(Qt::NoModifier) << "D";
    }
    void tecladoElige()
    {
        QFETCH(int, tecla);
        QFETCH(int, modificador);
        QFETCH(QString, elegida);
        Examen e;
        QApplication::setActiveWindow(e.form.get());
        e.opcion('A')->setFocus();
        QTest::keyClick(e.form->focusWidget(), Qt::Key(tecla), Qt::KeyboardModifiers(modificador));
        QVERIFY(e.opcion(elegida.at(0).toLatin1())->isChecked());
        e.navegar(e.control("CmdSiguiente"));
        QCOMPARE(e.banco.sesion.RespMat[1], elegida);
    }

    // Zoom of the picture: Ctrl with "+", "=", the keypad's "+", "−", 0, or the wheel, in steps
    // from 100 % to 300 %. Keys: + = k(keypad +) - 0, w/W wheel up/down.
    void zoomDeLaImagen_data()
    {
        QTest::addColumn<QString>("teclas");
        QTest::addColumn<int>("zoom");
        QTest::newRow("two steps up") << "++" << 150;
        QTest::newRow("= and the keypad's +") << "=k" << 150;
        QTest::newRow("three up, one down") << "+++-" << 150;
        QTest::newRow("stops at 300") << "++++++" << 300;
        QTest::newRow("stops at the natural size") << "--" << 100;
        QTest::newRow("0 gives back the natural size") << "+++0" << 100;
        QTest::newRow("up and back down") << "+-" << 100;
        QTest::newRow("the wheel with Ctrl") << "www" << 200;
        QTest::newRow("the wheel both ways") << "wwW" << 125;
    }
    void zoomDeLaImagen()
    {
        QFETCH(QString, teclas);
        QFETCH(int, zoom);
        Examen e;
        const QString ruta = rutaPregunta(e.banco.carpeta(), Asignatura::Matematica, 3, 1);
        const QImage natural = QImage(ruta).convertToFormat(QImage::Format_RGB32);
        for (const QChar c : teclas) {
            if (c == 'w' || c == 'W') {
                auto *imagen = e.control<QLabel>("Image1");
                const QPointF punto(imagen->width() / 2.0, imagen->height() / 2.0);
                QWheelEvent rueda(punto, imagen->mapToGlobal(punto), {},
                    { 0, c == 'w' ? 120 : -120 }, Qt::NoButton, Qt::ControlModifier,
                    Qt::NoScrollPhase, false);
                QApplication::sendEvent(imagen, &rueda);
                continue;
            }
            const Qt::Key tecla = c == '+' || c == 'k' ? Qt::Key_Plus
                : c == '='                             ? Qt::Key_Equal
                : c == '-'                             ? Qt::Key_Minus
                                                       : Qt::Key_0;
            QTest::keyClick(e.form->focusWidget(), tecla,
                c == 'k' ? Qt::ControlModifier | Qt::KeypadModifier : Qt::ControlModifier);
        }
        QCOMPARE(e.banco.entorno.zoomPregunta, zoom);
        // The same on the next question, and nothing of it stored.
        e.ir(2);
        QCOMPARE(e.banco.entorno.zoomPregunta, zoom);
        e.ir(1);
        auto *imagen = e.control<QLabel>("Image1");
        QCOMPARE(imagen->size(), natural.size() * (zoom / 100.0));
        auto *zona = e.form->findChild<QWidget *>("ZonaImagen");
        if (zoom == 100) {
            QCOMPARE(imagen->parentWidget(), e.form.get());
            QVERIFY(!zona || !zona->isVisible());
            QCOMPARE(imagen->pixmap().toImage().convertToFormat(QImage::Format_RGB32), natural);
            return;
        }
        // Larger: scrolled within the free area, never over the buttons or the options.
        QVERIFY(zona && zona->isVisible());
        QVERIFY(zona->isAncestorOf(imagen));
        for (const QString &otro :
            { QStringLiteral("CmdPreg_0"), QStringLiteral("CmdPreg_21"), QStringLiteral("Label1"),
                QStringLiteral("OpMatMod1Preg1OpA"), QStringLiteral("CmdAnterior") })
            QVERIFY2(!zona->geometry().intersects(e.control<QWidget>(otro)->geometry()),
                qPrintable(otro));
        QVERIFY(qAbs(zona->geometry().center().x() - tw(7200)) <= 1);
    }

    // A zoomed picture larger than its area scrolls with Ctrl and the arrows, even from the
    // options, which keep their answer and the focus.
    void desplazarImagenAmpliada()
    {
        Examen e;
        QImage grande(1400, 1000, QImage::Format_RGB32);
        grande.fill(Qt::white);
        QVERIFY(grande.save(rutaPregunta(e.banco.carpeta(), Asignatura::Matematica, 3, 2)));
        e.ir(2);
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(e.form->focusWidget(), Qt::Key_Plus, Qt::ControlModifier);
        auto *area = e.form->findChild<QScrollArea *>("ZonaImagen");
        QVERIFY(area && area->isVisible());
        QRadioButton *a = e.opcion('A');
        a->click();
        a->setFocus();
        for (const auto &[tecla, barra] : { std::pair(Qt::Key_Down, area->verticalScrollBar()),
                 std::pair(Qt::Key_Right, area->horizontalScrollBar()) }) {
            QVERIFY(barra->maximum() > 0);
            const int antes = barra->value();
            QTest::keyClick(a, tecla, Qt::ControlModifier);
            QVERIFY(barra->value() > antes);
        }
        QVERIFY(a->isChecked());
        QCOMPARE(e.form->focusWidget(), a);
    }

    // The content's own words for a picture reach the screen reader with it.
    void descripcionDeLaImagen()
    {
        Examen e;
        crearArchivo(rutaDescripcionPregunta(e.banco.carpeta(), Asignatura::Matematica, 3, 2),
            "  Un triángulo rectángulo de catetos 3 y 4.\n");
        e.ir(2);
        QAccessibleInterface *accesible
            = QAccessible::queryAccessibleInterface(e.control<QWidget>("Image1"));
        QCOMPARE(accesible->text(QAccessible::Description),
            QStringLiteral("Un triángulo rectángulo de catetos 3 y 4."));
        e.ir(3);
        QCOMPARE(QAccessible::queryAccessibleInterface(e.control<QWidget>("Image1"))
                     ->text(QAccessible::Description),
            QString());
    }

    void modeloFueraDeRango()
    {
        Examen e(0);
        QCOMPARE(e.control<QLabel>("Label2")->text(), QStringLiteral("Modelo: 0"));
        QVERIFY(e.control<QLabel>("Image1")->pixmap().isNull());
        QVERIFY(e.control("CmdAnterior")->isVisible()); // design-time visibility
    }

    void tablaDeFormulas_data()
    {
        QTest::addColumn<bool>("presente");
        QTest::newRow("present") << true;
        QTest::newRow("absent") << false;
    }
    void tablaDeFormulas()
    {
        QFETCH(bool, presente);
        Examen e;
        if (presente)
            crearArchivo(rutaTablaFormulas(e.banco.carpeta()), "%PDF-1.4");
        e.elegir('C');
        QTest::mouseClick(e.control("CmdTabla"), Qt::LeftButton);
        QCOMPARE(e.banco.abridor.abiertos,
            presente ? QStringList({ e.banco.carpeta() + "/Imagenes/Tabla de formulas.pdf" })
                     : QStringList());
        QVERIFY(e.banco.mensajes.llamadas.isEmpty());
        QVERIFY(e.form->isVisible());
        QCOMPARE(e.elegida(), QStringLiteral("C"));
        QVERIFY(e.banco.sesion.RespMat[1].isEmpty());
    }

    void ventana()
    {
        Examen e;
        QCOMPARE(e.form->windowTitle(), QStringLiteral("ORBELA"));
        QCOMPARE(e.form->frameGeometry().size(), QSize(tw(14500), tw(8650)));
        QVERIFY(!e.form->close());
        QTest::keyClick(e.form.get(), Qt::Key_Escape);
        QVERIFY(e.form->isVisible());
        QCOMPARE(e.pregunta(12)->geometry(), twRect(480 + 600 * 11, 960, 495, 375));
        QCOMPARE(e.opcion('C')->geometry(), twRect(7320, 7440, 735, 480));
        QCOMPARE(e.control<QLabel>("Label1")->text(),
            QString(30, '-') + "  SELECCIONE LA OPCIÓN CORRECTA  " + QString(30, '-'));
        QCOMPARE(
            e.control<QLabel>("Label1")->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    }

    void ordenDeTabulacion()
    {
        Examen e;
        e.ir(2); // "Anterior" visible
        const QStringList orden = recorridoDeTabulacion(e.control("CmdSiguiente"), 10);
        QCOMPARE(
            orden.mid(0, 3), QStringList({ "CmdSiguiente", "OpMatMod1Preg1OpA", "CmdAnterior" }));
        QCOMPARE(orden.mid(3, 5),
            QStringList({ "CmdFinalizar", "CmdTabla", "CmdSalir", "CmdPreg_0", "CmdPreg_1" }));
        // The banner, tab index 0, comes after the last question button.
        QCOMPARE(recorridoDeTabulacion(e.control("CmdPreg_21"), 3),
            QStringList({ "CmdPreg_21", "Picture3", "CmdSiguiente" }));
    }

    // The banner takes the focus when a question opens: Enter or Space right away leave the
    // student on that question.
    void teclasAlLlegar_data() { filasTeclasAlLlegar(); }
    void teclasAlLlegar()
    {
        QFETCH(int, tecla);
        Examen e;
        QCOMPARE(e.form->focusWidget()->objectName(), QStringLiteral("Picture3"));
        QVERIFY(e.teclaAlLlegar(Qt::Key(tecla)));
        e.ir(5);
        QVERIFY(e.teclaAlLlegar(Qt::Key(tecla)));
        QCOMPARE(e.banco.sesion.PreguntaMat, 5);
    }

    // Under a real window manager the whole window, frame included, is 14500 × 8650 twips,
    // as the X server measures it.
    void tamanoExteriorConGestorDeVentanas()
    {
        QString omitido;
        const QString salida = ejecutarConGestorDeVentanas(
            QSize(1280, 1024), QStringLiteral("--tamano-con-marco"), &omitido);
        if (salida.isEmpty())
            QSKIP(qPrintable(omitido));
        if (salida.contains(QStringLiteral("sin marco")))
            QSKIP("el gestor de ventanas no enmarcó la ventana en 30 s");
        const int linea = salida.indexOf(QStringLiteral("exterior "));
        QVERIFY2(linea >= 0, qPrintable(salida));
        const QStringList medidas = salida.mid(linea).section('\n', 0, 0).split(' ');
        QCOMPARE(medidas.value(1) + 'x' + medidas.value(2),
            QStringLiteral("%1x%2").arg(tw(14500)).arg(tw(8650)));
        QVERIFY2(
            medidas.value(4).toInt() > 0, qPrintable(salida)); // the frame was there: a title bar
    }
};

namespace {
// Under a window manager: waits until the frame is known and the window fitted to it, then
// prints the whole window's size as the X server has it, and the frame as Qt knows it.
int tamanoConMarco()
{
    Examen e;
    const QString ventana = QString::number(e.form->winId());
    // The X server's own figures: the client window and the frame the manager put around it.
    auto medirEnX = [&] {
        QProcess consulta;
        consulta.start(QStringLiteral("xwininfo"), { QStringLiteral("-id"), ventana });
        consulta.waitForFinished(10000);
        QSize tamano;
        for (const QString &l : QString::fromUtf8(consulta.readAllStandardOutput()).split('\n')) {
            if (l.trimmed().startsWith(QLatin1String("Width:")))
                tamano.setWidth(l.section(':', 1).trimmed().toInt());
            if (l.trimmed().startsWith(QLatin1String("Height:")))
                tamano.setHeight(l.section(':', 1).trimmed().toInt());
        }
        consulta.start(QStringLiteral("xprop"),
            { QStringLiteral("-id"), ventana, QStringLiteral("_NET_FRAME_EXTENTS") });
        consulta.waitForFinished(10000);
        const QStringList marco
            = QString::fromUtf8(consulta.readAllStandardOutput()).section('=', 1).split(',');
        if (marco.size() != 4 || marco[2].toInt() <= 0)
            return QSize(); // not framed yet: the bare window alone can have the size
        return tamano
            + QSize(marco[0].toInt() + marco[1].toInt(), marco[2].toInt() + marco[3].toInt());
    };
    // The frame comes some time after the window shows, and the fitting after it; Qt learns
    // of the frame last. A loaded machine can take long to start the manager.
    QSize medido;
    bool enmarcada = false;
    (void)QTest::qWaitFor(
        [&] {
            medido = medirEnX();
            enmarcada = enmarcada || medido.isValid();
            return medido == QSize(tw(14500), tw(8650))
                && e.form->windowHandle()->frameMargins().top() > 0;
        },
        30000);
    if (!enmarcada) {
        std::printf("sin marco\n");
        return 0;
    }
    const QMargins marco = e.form->windowHandle()->frameMargins();
    std::printf("exterior %d %d marco %d %d %d %d\n", medido.width(), medido.height(), marco.left(),
        marco.top(), marco.right(), marco.bottom());
    return 0;
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc == 2 && qstrcmp(argv[1], "--tamano-con-marco") == 0)
        return tamanoConMarco();
    TstFrmMatMod1H1 prueba;
    return QTest::qExec(&prueba, argc, argv);
}
#include "tst_FrmMatMod1H1.moc"
