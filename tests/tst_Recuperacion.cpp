// The recovery record: a station killed in the middle of an exam costs no answer; a bad
// record is set aside and never used; nothing outlives an explicit end of the run.
#include "Apoyo.h"
#include "ContenidoDemo.h"
#include "Directorio.h"
#include "Estacion.h"
#include "Recuperacion.h"
#include "Reporte.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(EstadoRecuperacion)

namespace {

const char kLetras[] = "ABCD";

// Every run answers question q with the same letter.
QString letraDe(int pregunta)
{
    return QString(QLatin1Char(kLetras[pregunta % 4]));
}

Sesion registrado(const QString &carpeta)
{
    Sesion s = alumnoDePrueba();
    s.RutaExcel = construirRutaExcel(carpeta, s);
    return s;
}

std::function<void(QWidget *)> registrar(const QString &dni)
{
    return [dni](QWidget *w) {
        auto *codigo = hijo<QLineEdit>(w, "TxtCodEmpresa");
        codigo->setFocus();
        QTest::keyClicks(codigo, QStringLiteral("EE0310002"));
        hijo<QComboBox>(w, "CmbTurno")->setFocus();
        hijo<QComboBox>(w, "CmbTurno")->setCurrentIndex(2);
        QTest::keyClicks(hijo<QLineEdit>(w, "TxtSeccion"), QStringLiteral("3A"));
        hijo<QComboBox>(w, "CmbSexo")->setCurrentIndex(2);
        QTest::keyClicks(hijo<QLineEdit>(w, "TxtDNI"), dni);
        QTest::mouseClick(hijo<QPushButton>(w, "CmdAceptar"), Qt::LeftButton);
    };
}

std::function<void(QWidget *)> clic(const char *boton)
{
    return [boton](QWidget *w) {
        QTest::mouseClick(hijo<QPushButton>(w, QLatin1String(boton)), Qt::LeftButton);
    };
}

std::function<void(QWidget *)> codigo(const char *c)
{
    return [c](QWidget *w) {
        QTest::keyClicks(hijo<QLineEdit>(w, "TxtCodAcceso"), QLatin1String(c));
        QTest::keyClick(hijo<QLineEdit>(w, "TxtCodAcceso"), Qt::Key_Return);
    };
}

QString respuestasEnTexto(const Sesion::Respuestas &r)
{
    QString t;
    for (int q = 1; q <= kPreguntas; ++q)
        t += r[q].isEmpty() ? QStringLiteral("-") : r[q];
    return t;
}

// A child's station: the real screens, files and disk, and the clock at `segundos`; a script
// that registers student 0987 and opens mathematics with its code.
struct EstacionDelHijo {
    EstacionDelHijo(const QString &carpeta, int segundos)
        : entorno { carpeta, mensajes, archivos, reloj, abridor, hoja, disco }
    {
        reloj.lecturas = { segundos };
        guion.paso("FrmLogin", registrar(QStringLiteral("0987")));
        guion.paso("FormMnuOrbela", clic("CmdMatematica"));
        guion.paso("FrmCodigoAcceso", codigo("4592"));
    }
    void ejecutar()
    {
        guion.iniciar();
        ejecutarEstacion(entorno, sesion);
    }
    MensajesFalsos mensajes;
    ArchivosLocales archivos;
    RelojFalso reloj;
    AbridorFalso abridor;
    DiscoLocal disco;
    LibroXlsx hoja { disco };
    Entorno entorno;
    Sesion sesion;
    Guion guion;
};

// The child of the kill test: the real screens and the real disk; registers, opens
// mathematics and answers question after question, printing each answer once its handler
// has returned, until it is killed.
int examenHastaSerMatado(const QString &carpeta, int segundos)
{
    EstacionDelHijo estacion(carpeta, segundos);
    Sesion &sesion = estacion.sesion;
    Guion &guion = estacion.guion;
    guion.paso("FrmMatMod1H1", [&](QWidget *) {
        std::printf("modelo %d\nrestauradas %s\n", sesion.ModeloMat,
            qPrintable(respuestasEnTexto(sesion.RespMat)));
        std::fflush(stdout);
    });
    for (int i = 0; i < 2000; ++i) {
        guion.paso("FrmMatMod1H1", [&](QWidget *w) {
            const int q = sesion.PreguntaMat;
            QTest::mouseClick(
                hijo<QRadioButton>(w, QStringLiteral("OpMatMod1Preg1Op") + letraDe(q)),
                Qt::LeftButton);
            QTest::mouseClick(
                hijo<QPushButton>(w,
                    q == kPreguntas ? QStringLiteral("CmdPreg_0") : QStringLiteral("CmdSiguiente")),
                Qt::LeftButton);
            std::printf("%d\n", q);
            std::fflush(stdout);
        });
    }
    estacion.ejecutar();
    return 1; // only a kill ends it
}

// The child of the power-cut scenario: answers questions 1 to 14 of mathematics, says so
// when question 15 is on screen, and waits there for its end.
int catorceYEsperar(const QString &carpeta)
{
    EstacionDelHijo estacion(carpeta, 25);
    Sesion &sesion = estacion.sesion;
    Guion &guion = estacion.guion;
    for (int q = 1; q <= 14; ++q) {
        guion.paso("FrmMatMod1H1", [q](QWidget *w) {
            QTest::mouseClick(
                hijo<QRadioButton>(w, QStringLiteral("OpMatMod1Preg1Op") + letraDe(q)),
                Qt::LeftButton);
            QTest::mouseClick(hijo<QPushButton>(w, "CmdSiguiente"), Qt::LeftButton);
        });
    }
    guion.paso("FrmMatMod1H1", [&](QWidget *) {
        std::printf("pregunta %d modelo %d\n", sesion.PreguntaMat, sesion.ModeloMat);
        std::fflush(stdout);
    });
    estacion.ejecutar();
    return 1;
}

// The child of bench/estres-recuperacion: writes the record of version after version (the
// version read as a base-4 number in the answers), printing each once written.
int escribirEnBucle(const QString &carpeta)
{
    Banco banco;
    banco.entorno.carpetaPrograma = carpeta;
    Sesion s = registrado(carpeta);
    for (quint64 v = 1;; ++v) {
        quint64 resto = v;
        for (int q = 1; q <= kPreguntas; ++q, resto /= 4)
            s.RespMat[q] = QString(QLatin1Char(kLetras[resto % 4]));
        if (!guardarRecuperacion(banco.entorno, s).ok())
            return 1;
        std::printf("%llu\n", static_cast<unsigned long long>(v));
        std::fflush(stdout);
    }
}

// Prints the state and version of the record in `carpeta`.
int leerRegistro(const QString &carpeta)
{
    QFile f(rutaRecuperacion(registrado(carpeta).RutaExcel));
    if (!f.open(QIODevice::ReadOnly)) {
        std::printf("falta\n");
        return 0;
    }
    Sesion r;
    if (interpretarRecuperacion(f.readAll(), registrado(carpeta), &r)
        != EstadoRecuperacion::Valido) {
        std::printf("dañado\n");
        return 0;
    }
    quint64 v = 0;
    for (int q = kPreguntas; q >= 1; --q)
        v = v * 4 + quint64(r.RespMat[q].at(0).unicode() - 'A');
    std::printf("valido %llu\n", static_cast<unsigned long long>(v));
    return 0;
}

} // namespace

class TstRecuperacion : public QObject {
    Q_OBJECT
private slots:
    void idaYVuelta()
    {
        QTemporaryDir dir;
        Sesion s = registrado(dir.path());
        s.RespMat[1] = QStringLiteral("A");
        s.RespMat[22] = QStringLiteral("D");
        s.RespLeng[11] = QStringLiteral("C");
        s.FinalizadoLeng = 1;
        Sesion r;
        QCOMPARE(interpretarRecuperacion(contenidoRecuperacion(s), registrado(dir.path()), &r),
            EstadoRecuperacion::Valido);
        QCOMPARE(r.ModeloMat, 4);
        QCOMPARE(r.ModeloLeng, 6);
        QCOMPARE(respuestasEnTexto(r.RespMat), QStringLiteral("A--------------------D"));
        QCOMPARE(r.FinalizadoLeng, 1);
        QCOMPARE(respuestasDadas(r.RespLeng), 0); // a saved subject keeps no answers in the record
        QCOMPARE(rutaRecuperacion(s.RutaExcel),
            dir.filePath(".Apl Examen - EE0310002_T_3A_2_0987.recuperacion"));
    }

    // A record that is not this student's, whole and valid is never used, never deleted:
    // it is set aside and registration goes on with the fresh draw.
    void registrosMalosSeApartan_data()
    {
        QTest::addColumn<QByteArray>("contenido");
        QTest::addColumn<EstadoRecuperacion>("estado");
        Sesion s = registrado(QStringLiteral("/e"));
        s.RespMat[3] = QStringLiteral("B");
        const QByteArray bueno = contenidoRecuperacion(s);
        QTest::newRow("half written")
            << bueno.left(bueno.size() / 2) << EstadoRecuperacion::Ilegible;
        QTest::newRow("empty") << QByteArray() << EstadoRecuperacion::Ilegible;
        QTest::newRow("not JSON") << QByteArray("respuestas: A B C")
                                  << EstadoRecuperacion::Ilegible;
        QTest::newRow("another format") << QByteArray(bueno).replace("\"formato\": 1",
            "\"formato\": 2") << EstadoRecuperacion::Ilegible;
        QTest::newRow("answer altered")
            << QByteArray(bueno).replace("\"B\"", "\"C\"") << EstadoRecuperacion::SumaIncorrecta;
        Sesion otro = s;
        otro.DNI = QStringLiteral("0988");
        QTest::newRow("another student's")
            << contenidoRecuperacion(otro) << EstadoRecuperacion::DeOtroAlumno;
        Sesion modelo = s;
        modelo.ModeloMat = 9;
        QTest::newRow("model out of range")
            << contenidoRecuperacion(modelo) << EstadoRecuperacion::Ilegible;
        Sesion letra = s;
        letra.RespLeng[4] = QStringLiteral("a");
        QTest::newRow("answer that is no letter")
            << contenidoRecuperacion(letra) << EstadoRecuperacion::Ilegible;
    }
    void registrosMalosSeApartan()
    {
        QFETCH(QByteArray, contenido);
        QFETCH(EstadoRecuperacion, estado);
        Banco b;
        b.sesion = registrado(b.carpeta());
        Sesion esperada = registrado(QStringLiteral("/e"));
        esperada.RutaExcel = b.sesion.RutaExcel;
        Sesion r;
        QCOMPARE(interpretarRecuperacion(contenido, esperada, &r), estado);

        const QString ruta = rutaRecuperacion(b.sesion.RutaExcel);
        crearArchivo(ruta, contenido.isEmpty() ? QByteArray(" ") : contenido);
        b.sesion.ModeloMat = 1;
        QVERIFY(!Recuperar_Examen(b.entorno, b.sesion));
        QCOMPARE(b.sesion.ModeloMat, 1);
        QCOMPARE(respuestasDadas(b.sesion.RespMat), 0);
        QVERIFY(!QFileInfo::exists(ruta));
        const QStringList apartados
            = QDir(b.carpeta())
                  .entryList({ QStringLiteral(".*.recuperacion.descartada-*") },
                      QDir::Files | QDir::Hidden);
        QCOMPARE(apartados.size(), 1);
        // The student and the supervisor are told, with the name it was kept under.
        QCOMPARE(b.mensajes.llamadas.size(), 1);
        QVERIFY2(b.mensajes.textos().first().contains(apartados.first()),
            qPrintable(b.mensajes.textos().first()));
        QVERIFY(b.mensajes.textos().first().contains(QStringLiteral("Avise al supervisor")));
    }

    // Copies a killed save staged beside the record go at the next registration; other files
    // named after it, a record set aside among them, stay.
    void copiasDeUnGuardadoInterrumpido()
    {
        Banco b;
        b.sesion = registrado(b.carpeta());
        const QString ruta = rutaRecuperacion(b.sesion.RutaExcel);
        const QString nombre = QFileInfo(ruta).fileName();
        for (const char *resto : { ".Ab12Cd", ".zz99zz", ".Ab12C", ".Ab12Cd7", ".descartada-1" })
            crearArchivo(ruta + QLatin1String(resto));
        QVERIFY(!Recuperar_Examen(b.entorno, b.sesion));
        QCOMPARE(QDir(b.carpeta())
                     .entryList(
                         { nombre + QStringLiteral("*") }, QDir::Files | QDir::Hidden, QDir::Name),
            QStringList({ nombre + ".Ab12C", nombre + ".Ab12Cd7", nombre + ".descartada-1" }));
    }

    // Whatever stands at the record's name that is not a file is never opened nor written
    // through: it is set aside at registration, told, and the record is written in its place.
    // A file a link points at stays as it was.
    // A record that stops being kept mid-exam is told once, where it starts, and once when it
    // is kept again; the answers given meanwhile are in the record from then on.
    void fallosDelRegistroSeAvisanUnaVez()
    {
        Banco b;
        b.sesion = registrado(b.carpeta());
        const QString ruta = rutaRecuperacion(b.sesion.RutaExcel);
        for (int q = 1; q <= 8; ++q) {
            b.disco.fallarEn
                = q >= 3 && q <= 5 ? std::optional(PasoEscritura::Escribir) : std::nullopt;
            b.sesion.RespMat[q] = letraDe(q);
            resguardarRespuestas(b.entorno, b.sesion);
            QCOMPARE(b.mensajes.llamadas.size(), q < 3 ? 0 : q < 6 ? 1 : 2);
        }
        QVERIFY(b.mensajes.textos().at(0).startsWith(
            "No se puede guardar la copia de seguridad del examen"));
        QVERIFY(b.mensajes.textos().at(0).contains("Causa: "));
        QCOMPARE(b.mensajes.textos().at(1),
            QStringLiteral(
                "La copia de seguridad del examen vuelve a guardarse en esta computadora."));
        QByteArray contenido;
        QVERIFY(b.disco.leer(ruta, 1 << 20, &contenido).ok());
        Sesion leida;
        QCOMPARE(interpretarRecuperacion(contenido, b.sesion, &leida), EstadoRecuperacion::Valido);
        QCOMPARE(respuestasDadas(leida.RespMat), 8);
    }

    void entradasQueNoSonRegistros_data()
    {
        QTest::addColumn<QString>("forma");
        QTest::newRow("link to a file outside") << "enlace";
        QTest::newRow("dangling link") << "colgante";
        QTest::newRow("link to itself") << "circular";
        QTest::newRow("pipe") << "tuberia";
        QTest::newRow("folder") << "carpeta";
    }
    void entradasQueNoSonRegistros()
    {
        QFETCH(QString, forma);
        Banco b;
        b.sesion = registrado(b.carpeta());
        const QString ruta = rutaRecuperacion(b.sesion.RutaExcel);
        QTemporaryDir fuera;
        const QString ajeno = fuera.filePath("ajeno.txt");
        crearArchivo(ajeno, "de otro");
        const QByteArray r = QFile::encodeName(ruta);
        if (forma == "enlace")
            QVERIFY(QFile::link(ajeno, ruta));
        else if (forma == "colgante")
            QVERIFY(QFile::link(fuera.filePath("no-existe"), ruta));
        else if (forma == "circular")
            QCOMPARE(::symlink(r.constData(), r.constData()), 0);
        else if (forma == "tuberia")
            QCOMPARE(::mkfifo(r.constData(), 0644), 0);
        else
            QVERIFY(QDir().mkpath(ruta + "/dentro"));

        QVERIFY(!Recuperar_Examen(b.entorno, b.sesion));
        QCOMPARE(b.mensajes.llamadas.size(), 1);
        QVERIFY(b.mensajes.textos().first().contains(".descartada-"));
        for (int q = 1; q <= 3; ++q) {
            b.sesion.RespMat[q] = QStringLiteral("C");
            QVERIFY(guardarRecuperacion(b.entorno, b.sesion).ok());
        }
        QVERIFY(QFileInfo(ruta).isFile() && !QFileInfo(ruta).isSymLink());
        QFile copia(ajeno);
        QVERIFY(copia.open(QIODevice::ReadOnly));
        QCOMPARE(copia.readAll(), QByteArray("de otro"));
        QCOMPARE(
            QDir(fuera.path()).entryList(QDir::Files | QDir::Hidden), QStringList({ "ajeno.txt" }));
    }

    // A valid record restores the models and the answers of what the workbook does not show
    // finished; a subject finished in the workbook is never reopened by it.
    void registroValidoSeRecupera_data()
    {
        QTest::addColumn<bool>("lenguaEnElLibro");
        QTest::addColumn<QString>("aviso");
        QTest::newRow("both open")
            << false
            << "Se recuperó el examen que quedó interrumpido en esta computadora.\r\n"
               "- Matemática: 14 respuestas\r\n- Lengua: 1 respuesta\r\n"
               "Elija la materia en el menú para continuar.";
        QTest::newRow("language saved in the workbook")
            << true
            << "Se recuperó el examen que quedó interrumpido en esta computadora.\r\n"
               "- Matemática: 14 respuestas\r\n- Lengua: ya finalizada\r\n"
               "Elija la materia en el menú para continuar.";
    }
    void registroValidoSeRecupera()
    {
        QFETCH(bool, lenguaEnElLibro);
        QFETCH(QString, aviso);
        Banco b;
        Sesion antes = registrado(b.carpeta());
        {
            // A record of no answer yet: its models come back, with nothing to announce.
            Banco vacio;
            Sesion sinRespuestas = registrado(vacio.carpeta());
            crearArchivo(
                rutaRecuperacion(sinRespuestas.RutaExcel), contenidoRecuperacion(sinRespuestas));
            vacio.sesion = alumnoDePrueba();
            vacio.sesion.ModeloMat = 1;
            Crear_Excel(vacio.entorno, vacio.sesion);
            QVERIFY(Recuperar_Examen(vacio.entorno, vacio.sesion));
            QCOMPARE(vacio.sesion.ModeloMat, sinRespuestas.ModeloMat);
            QCOMPARE(vacio.mensajes.llamadas.size(), 0);
        }
        for (int q = 1; q <= 14; ++q)
            antes.RespMat[q] = letraDe(q);
        antes.RespLeng[2] = QStringLiteral("D");
        crearArchivo(rutaRecuperacion(antes.RutaExcel), contenidoRecuperacion(antes));
        const QString copiaCortada = rutaRecuperacion(antes.RutaExcel) + QStringLiteral(".Ab12Cd");
        crearArchivo(copiaCortada, "{\"formato\"");
        if (lenguaEnElLibro)
            escribirLibroDePrueba(
                antes.RutaExcel + ".xlsx", { { { 2, 9 }, Celda::deTexto("Lengua") } });

        // The same student registers again; the clock drew other models.
        b.sesion = alumnoDePrueba();
        b.sesion.ModeloMat = 1;
        b.sesion.ModeloLeng = 2;
        Crear_Excel(b.entorno, b.sesion);
        QVERIFY(Recuperar_Examen(b.entorno, b.sesion));
        QCOMPARE(b.mensajes.textos(), QStringList({ aviso }));
        QCOMPARE(b.mensajes.llamadas.first().estilo, 0);
        QCOMPARE(b.sesion.ModeloMat, 4);
        QCOMPARE(b.sesion.ModeloLeng, 6);
        QCOMPARE(respuestasEnTexto(b.sesion.RespMat), QStringLiteral("BCDABCDABCDABC--------"));
        QCOMPARE(b.sesion.FinalizadoLeng, lenguaEnElLibro ? 1 : 0);
        QCOMPARE(respuestasDadas(b.sesion.RespLeng), lenguaEnElLibro ? 0 : 1);
        QVERIFY(!QFileInfo::exists(copiaCortada));
    }

    // Through the screens: "Salir" ends the run and its record; registering again recovers
    // nothing, and another student never sees the first one's answers.
    void nadaSobreviveASalir_data()
    {
        QTest::addColumn<QString>("segundoDni");
        QTest::newRow("the same student again") << "0987";
        QTest::newRow("another student") << "0988";
    }
    void nadaSobreviveASalir()
    {
        QFETCH(QString, segundoDni);
        Banco b;
        crearContenidoAsignatura(b.carpeta(), Asignatura::Matematica);
        Guion primera;
        primera.paso("FrmLogin", registrar(QStringLiteral("0987")));
        primera.paso("FormMnuOrbela", clic("CmdMatematica"));
        primera.paso("FrmCodigoAcceso", codigo("4592"));
        primera.paso("FrmMatMod1H1", [](QWidget *w) {
            QTest::mouseClick(hijo<QRadioButton>(w, "OpMatMod1Preg1OpB"), Qt::LeftButton);
            QTest::mouseClick(hijo<QPushButton>(w, "CmdSiguiente"), Qt::LeftButton);
        });
        primera.paso("FrmMatMod1H1", [&](QWidget *w) {
            QVERIFY(QFileInfo::exists(rutaRecuperacion(b.sesion.RutaExcel)));
            QTest::mouseClick(hijo<QPushButton>(w, "CmdSalir"), Qt::LeftButton);
        });
        primera.paso("FormMnuOrbela", clic("CmdSalir"));
        primera.iniciar();
        ejecutarEstacion(b.entorno, b.sesion);
        QVERIFY(primera.completo());
        QVERIFY(!QFileInfo::exists(rutaRecuperacion(b.sesion.RutaExcel)));

        Sesion segunda;
        Guion otra;
        otra.paso("FrmLogin", registrar(segundoDni));
        otra.paso("FormMnuOrbela", clic("CmdSalir"));
        otra.iniciar();
        b.mensajes.llamadas.clear();
        ejecutarEstacion(b.entorno, segunda);
        QVERIFY(otra.completo());
        QVERIFY(b.mensajes.llamadas.isEmpty());
        QCOMPARE(respuestasDadas(segunda.RespMat), 0);
    }

    // Saving a subject removes its part of the record; saving both removes the record.
    void guardarQuitaLoGuardado()
    {
        Banco b;
        crearContenidoAsignatura(b.carpeta(), Asignatura::Matematica);
        crearContenidoAsignatura(b.carpeta(), Asignatura::Lengua);
        b.mensajes.respuestas = { kRespuestaSi, kRespuestaSi };
        QByteArray tras1;
        auto finalizar = [](const char *opcion) {
            return [opcion](QWidget *w) {
                QTest::mouseClick(hijo<QRadioButton>(w, QLatin1String(opcion)), Qt::LeftButton);
                QTest::mouseClick(hijo<QPushButton>(w, "CmdFinalizar"), Qt::LeftButton);
            };
        };
        Guion guion;
        guion.paso("FrmLogin", registrar(QStringLiteral("0987")));
        guion.paso("FormMnuOrbela", clic("CmdMatematica"));
        guion.paso("FrmCodigoAcceso", codigo("4592"));
        guion.paso("FrmMatMod1H1", finalizar("OpMatMod1Preg1OpA"));
        guion.paso("FormMnuOrbela", [&](QWidget *w) {
            QFile f(rutaRecuperacion(b.sesion.RutaExcel));
            QVERIFY(f.open(QIODevice::ReadOnly));
            tras1 = f.readAll();
            clic("CmdLengua")(w);
        });
        guion.paso("FrmCodigoAcceso", codigo("2813"));
        guion.paso("FrmLengMod1", finalizar("OpLengMod1Preg1OpC"));
        guion.paso("FormMnuOrbela", [&](QWidget *w) {
            QVERIFY(!QFileInfo::exists(rutaRecuperacion(b.sesion.RutaExcel)));
            QTest::mouseClick(hijo<QPushButton>(w, "CmdSalir"), Qt::LeftButton);
        });
        guion.iniciar();
        ejecutarEstacion(b.entorno, b.sesion);
        QVERIFY2(guion.completo(), qPrintable(guion.pendiente()));
        Sesion r;
        QCOMPARE(interpretarRecuperacion(tras1, b.sesion, &r), EstadoRecuperacion::Valido);
        QCOMPARE(r.FinalizadoMat, 1);
        QCOMPARE(respuestasDadas(r.RespMat), 0);
        QCOMPARE(r.FinalizadoLeng, 0);
    }

    // A power cut on question 15 of mathematics with 14 answers given: registering again, the
    // student is told, gets the same model, finds 1 to 14 answered and 15 to 22 not, and
    // "Guardar y Finalizar" writes the 14 answers into row 1.
    void corteDeLuzEnLaPregunta15()
    {
        Banco b;
        crearContenidoAsignatura(b.carpeta(), Asignatura::Matematica);
        QProcess estacion;
        estacion.start(QCoreApplication::applicationFilePath(),
            { QStringLiteral("--catorce-y-esperar"), b.carpeta() });
        QVERIFY(estacion.waitForStarted());
        while (!estacion.canReadLine())
            QVERIFY2(estacion.waitForReadyRead(30000), estacion.readAllStandardError().constData());
        const QStringList linea = QString::fromUtf8(estacion.readLine()).split(' ');
        QCOMPARE(linea[1], QStringLiteral("15"));
        const int modelo = linea[3].toInt();
        ::kill(pid_t(estacion.processId()), SIGKILL);
        QVERIFY(estacion.waitForFinished(20000));

        b.reloj.lecturas = { 26 }; // a fresh draw now would give the next model
        b.mensajes.respuestas = { kRespuestaSi };
        QString modeloEnPantalla;
        QList<quint32> colores;
        Guion guion;
        guion.paso("FrmLogin", registrar(QStringLiteral("0987")));
        guion.paso("FormMnuOrbela", clic("CmdMatematica"));
        guion.paso("FrmCodigoAcceso", codigo("4592"));
        guion.paso("FrmMatMod1H1", [&](QWidget *w) {
            modeloEnPantalla = hijo<QLabel>(w, "Label2")->text();
            for (int i = 0; i < kPreguntas; ++i)
                colores << hijo<QPushButton>(w, QStringLiteral("CmdPreg_%1").arg(i))
                               ->property("colorFondo")
                               .toUInt();
            QTest::mouseClick(hijo<QPushButton>(w, "CmdFinalizar"), Qt::LeftButton);
        });
        guion.paso("FormMnuOrbela", clic("CmdSalir"));
        guion.iniciar();
        ejecutarEstacion(b.entorno, b.sesion);
        QVERIFY2(guion.completo(), qPrintable(guion.pendiente()));

        QCOMPARE(b.mensajes.textos().first(),
            QStringLiteral("Se recuperó el examen que quedó interrumpido en esta computadora.\r\n"
                           "- Matemática: 14 respuestas\r\n- Lengua: 0 respuestas\r\n"
                           "Elija la materia en el menú para continuar."));
        QCOMPARE(modeloEnPantalla, QStringLiteral("Modelo: %1").arg(modelo));
        QCOMPARE(colores, QList<quint32>(14, 0x8000000F) + QList<quint32>(8, 0x00C0FFFF));
        CeldasHoja celdas;
        QVERIFY(b.hoja.leerReporte(b.sesion.RutaExcel + ".xlsx", &celdas).ok());
        for (int q = 1; q <= kPreguntas; ++q)
            QCOMPARE(celdas.count({ 1, 10 + q }) ? celdas.at({ 1, 10 + q }).texto : QString(),
                q <= 14 ? letraDe(q) : QString());
        QCOMPARE(celdas.at({ 1, 10 }).numero, double(modelo));
    }

    // The station is killed at random moments in the middle of mathematics, 20 times; after
    // each kill the record is whole, and the same student registering again gets every
    // answer given before the kill, on the same model.
    void matarEnMedioDelExamen()
    {
        QTemporaryDir dir;
        crearContenidoAsignatura(dir.path(), Asignatura::Matematica);
        QRandomGenerator generador = azarSembrado();
        QRandomGenerator *azar = &generador;
        QMap<int, QString> dadas; // answers some run said it recorded
        int modelo = 0;
        for (int ronda = 0; ronda < 20; ++ronda) {
            QProcess hijo;
            hijo.start(QCoreApplication::applicationFilePath(),
                { QStringLiteral("--examen-hasta-ser-matado"), dir.path(),
                    QString::number(azar->bounded(60)) });
            QVERIFY(hijo.waitForStarted());
            QStringList lineas;
            auto leer = [&] {
                while (hijo.canReadLine())
                    lineas << QString::fromUtf8(hijo.readLine()).trimmed();
            };
            while (lineas.size() < 2) {
                QVERIFY2(hijo.waitForReadyRead(30000), hijo.readAllStandardError().constData());
                leer();
            }
            const int modeloVisto = lineas[0].mid(7).toInt();
            const QString restauradas = lineas[1].mid(12);
            if (ronda == 0) {
                modelo = modeloVisto;
                QCOMPARE(restauradas, QString(kPreguntas, QLatin1Char('-')));
            }
            QCOMPARE(modeloVisto, modelo);
            for (auto it = dadas.begin(); it != dadas.end(); ++it)
                QCOMPARE(restauradas.mid(it.key() - 1, 1), it.value());

            // Somewhere in the next questions.
            const int cuantas = int(azar->bounded(1, 30));
            while (lineas.size() < 2 + cuantas) {
                QVERIFY2(hijo.waitForReadyRead(30000), hijo.readAllStandardError().constData());
                leer();
            }
            QElapsedTimer espera;
            espera.start();
            const qint64 micros = azar->bounded(8000);
            while (espera.nsecsElapsed() < micros * 1000) { }
            ::kill(pid_t(hijo.processId()), SIGKILL);
            QVERIFY(hijo.waitForFinished(20000));
            leer();
            for (const QString &l : lineas.mid(2))
                dadas[l.toInt()] = letraDe(l.toInt());

            // Registered through the form: the establishment's name comes from the directory.
            Sesion alumno = registrado(dir.path());
            alumno.NombreEscuela = *buscarEstablecimiento(alumno.CodEmpresa);
            QFile registro(rutaRecuperacion(alumno.RutaExcel));
            QVERIFY(registro.open(QIODevice::ReadOnly));
            Sesion r;
            QCOMPARE(interpretarRecuperacion(registro.readAll(), alumno, &r),
                EstadoRecuperacion::Valido);
            QCOMPARE(int(r.ModeloMat), modelo);
        }
        QVERIFY(dadas.size() >= 10);
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--examen-hasta-ser-matado") == 0) {
        prepararAparienciaEstacion();
        return examenHastaSerMatado(QString::fromLocal8Bit(argv[2]), atoi(argv[3]));
    }
    if (argc == 3 && qstrcmp(argv[1], "--catorce-y-esperar") == 0) {
        prepararAparienciaEstacion();
        return catorceYEsperar(QString::fromLocal8Bit(argv[2]));
    }
    if (argc == 3 && qstrcmp(argv[1], "--escribir-en-bucle") == 0)
        return escribirEnBucle(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && qstrcmp(argv[1], "--leer") == 0)
        return leerRegistro(QString::fromLocal8Bit(argv[2]));
    TstRecuperacion prueba;
    return QTest::qExec(&prueba, argc, argv);
}

#include "tst_Recuperacion.moc"
