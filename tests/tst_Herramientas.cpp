#include "Apoyo.h"
#include "Causas.h"
#include "ContenidoDemo.h"
#include "Disco.h"
#include "LectorXlsx.h"
#include "PaqueteXlsx.h"
#include "Recopilacion.h"
#include "Reporte.h"
#include "Sello.h"
#include "Verificacion.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>

#include <functional>

#include <zip.h>

#include <cstdio>

namespace {

// A workbook as the station writes it, for the student `dni`, with the given subjects saved;
// `ajustar` may change the registration data first.
QString libroDeAlumno(const QString &carpeta, const QString &dni, bool mat, bool leng,
    const std::function<void(Sesion &)> &ajustar = {})
{
    Banco banco;
    Entorno &e = banco.entorno;
    e.carpetaPrograma = carpeta;
    Sesion s = alumnoDePrueba();
    s.CodEmpresa = QStringLiteral("EE1111111");
    s.NombreEscuela = QStringLiteral("ESCUELA PRUEBA 1, \"ANEXO\"");
    s.Turno = QStringLiteral("M");
    s.Seccion = QStringLiteral("1A");
    s.DNI = dni;
    s.ModeloMat = 3;
    s.ModeloLeng = 4;
    if (ajustar)
        ajustar(s);
    Crear_Excel(e, s);
    for (int q = 1; q <= kPreguntas; ++q) {
        s.RespMat[q] = q % 3 ? QStringLiteral("A") : QString();
        s.RespLeng[q] = QStringLiteral("D");
    }
    if (mat) {
        s.Materia = QStringLiteral("Matematica");
        guardarFilaReporte(e, s, Asignatura::Matematica);
    }
    if (leng) {
        s.Materia = QStringLiteral("Lengua");
        guardarFilaReporte(e, s, Asignatura::Lengua);
    }
    return s.RutaExcel + QStringLiteral(".xlsx");
}

} // namespace

class TstHerramientas : public QObject {
    Q_OBJECT
private slots:
    // Every cause is told in the words of exactly one layer: a new cause cannot go untold, and
    // no two layers word the same one.
    void cadaCausaTienePalabrasDeUnaCapa()
    {
        for (int i = int(CausaFallo::Ninguna) + 1; i <= int(kUltimaCausa); ++i) {
            const auto causa = CausaFallo(i);
            const int capas = int(!textoCausaDisco(causa).isEmpty())
                + int(!textoCausaLibro(causa).isEmpty())
                + int(!textoCausaHerramienta(causa).isEmpty())
                + int(!textoCausaCustodia(causa).isEmpty());
            QVERIFY2(
                capas == 1, qPrintable(QStringLiteral("causa %1: %2 capas").arg(i).arg(capas)));
        }
    }

    void initTestCase() { QVERIFY(generarContenido(m_completo.path()).resultado.ok()); }

    void contenidoCompletoEsCorrecto()
    {
        const InformeContenido informe = verificarContenido(m_completo.path());
        QVERIFY2(informe.correcto(), qPrintable(informe.problemas.join('\n')));
        QCOMPARE(informe.imagenesCorrectas, 264);
        QCOMPARE(informe.documentosCorrectos, 7);
    }

    // The demo content has words for a screen reader beside every picture; a model whose
    // pictures lack some is named as a warning, which does not make the content wrong.
    void descripcionesSeInforman()
    {
        QTemporaryDir dir;
        QVERIFY(generarContenido(dir.path()).resultado.ok());
        // The statement, then the options, the right one (drawn at its letter) with 37.
        QFile descripcion(QDir(dir.path()).filePath("Imagenes/Mat_Mod3/Mat_Mod3_P7.txt"));
        QVERIFY(descripcion.open(QIODevice::ReadOnly));
        const QStringList lineas = QString::fromUtf8(descripcion.readAll()).split('\n');
        QCOMPARE(lineas.size(), 6);
        QCOMPARE(lineas[0], QStringLiteral("¿Cuánto vale 16 + 7 × 3?"));
        const int correcta = letraCorrectaDemo(Asignatura::Matematica, 3, 7) - 'A';
        for (int k = 0; k < 4; ++k)
            QVERIFY(lineas[k + 1].startsWith(QString(QChar('A' + k)) + QStringLiteral(")  ")));
        QCOMPARE(lineas[correcta + 1].section(' ', -1), QStringLiteral("37"));
        QVERIFY(verificarContenido(dir.path()).avisos.isEmpty());
        for (int q : { 1, 2, 22 })
            QVERIFY(QFile::remove(
                QDir(dir.path())
                    .filePath(QStringLiteral("Imagenes/Leng_Mod4/Leng_Mod4_P%1.txt").arg(q))));
        const InformeContenido informe = verificarContenido(dir.path());
        QVERIFY2(informe.correcto(), qPrintable(informe.problemas.join('\n')));
        QCOMPARE(informe.avisos,
            QStringList { QDir(dir.path()).filePath("Imagenes/Leng_Mod4")
                + ": 3 de 22 imágenes sin descripción para el lector de pantalla (preguntas 1, 2, "
                  "22)" });
        QVERIFY(informe.descripciones.contains(QDir(dir.path()).filePath("Imagenes/Leng_Mod4")
            + ": descripción para el lector de pantalla en 19 de 22 preguntas (3, 4, 5, 6, 7, 8, "
              "9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21)"));
    }

    void cadaDanoSeInforma_data()
    {
        QTest::addColumn<QString>("dano");
        QTest::addColumn<QString>("ruta");
        QTest::addColumn<QString>("motivo");
        QTest::newRow("picture deleted") << "borrar"
                                         << "Imagenes/Mat_Mod4/Mat_Mod4_P17.jpg"
                                         << "falta la imagen";
        QTest::newRow("picture damaged") << "dañar"
                                         << "Imagenes/Leng_Mod2/Leng_Mod2_P3.jpg"
                                         << "imagen ilegible";
        QTest::newRow("texts empty") << "vaciar"
                                     << "Imagenes/Leng_Mod6/Leng_Mod6_Textos.pdf"
                                     << "está vacío";
        QTest::newRow("table not a PDF") << "dañar"
                                         << "Imagenes/Tabla de formulas.pdf"
                                         << "no es un documento PDF";
        QTest::newRow("table missing") << "borrar"
                                       << "Imagenes/Tabla de formulas.pdf"
                                       << "falta la tabla";
        QTest::newRow("unexpected file") << "agregar"
                                         << "Imagenes/Mat_Mod1/Mat_Mod2_P1.jpg"
                                         << "no corresponde";
        QTest::newRow("texts in a maths folder") << "agregar"
                                                 << "Imagenes/Mat_Mod3/Leng_Mod3_Textos.pdf"
                                                 << "no corresponde";
        QTest::newRow("description not UTF-8") << "latin1"
                                               << "Imagenes/Mat_Mod2/Mat_Mod2_P7.txt"
                                               << "descripción no está en UTF-8";
        QTest::newRow("description empty") << "vaciar"
                                           << "Imagenes/Leng_Mod5/Leng_Mod5_P22.txt"
                                           << "descripción está vacía";
        QTest::newRow("description of no question") << "agregar"
                                                    << "Imagenes/Leng_Mod5/Leng_Mod5_P23.txt"
                                                    << "no corresponde";
    }
    void cadaDanoSeInforma()
    {
        QFETCH(QString, dano);
        QFETCH(QString, ruta);
        QFETCH(QString, motivo);
        QTemporaryDir dir;
        QVERIFY(generarContenido(dir.path()).resultado.ok());
        const QString completa = QDir(dir.path()).filePath(ruta);
        if (dano == "borrar")
            QVERIFY(QFile::remove(completa));
        else if (dano == "dañar")
            crearArchivo(completa, "basura");
        else if (dano == "vaciar")
            crearArchivo(completa, "");
        else if (dano == "latin1")
            crearArchivo(completa, "Un tri\xe1ngulo");
        else
            crearArchivo(completa, "extra");
        const InformeContenido informe = verificarContenido(dir.path());
        QCOMPARE(informe.problemas.size(), 1);
        QVERIFY2(informe.problemas.first().startsWith(completa + ": " + motivo),
            qPrintable(informe.problemas.first()));
    }

    // Links into a master copy and names the station cannot read are told before the exam
    // day: the clean-up of a finished subject would not do what the staff expect.
    void enlacesYNombresIlegiblesSeInforman_data()
    {
        QTest::addColumn<QString>("enlace");
        QTest::addColumn<QString>("motivo");
        QTest::newRow("content folder linked") << "Imagenes"
                                               << "es un enlace a";
        QTest::newRow("model folder linked") << "Imagenes/Leng_Mod4"
                                             << "es un enlace a";
        QTest::newRow("picture linked") << "Imagenes/Mat_Mod1/Mat_Mod1_P2.jpg"
                                        << "es un enlace a";
        QTest::newRow("unreadable name") << ""
                                         << "nombre de archivo ilegible";
    }
    void enlacesYNombresIlegiblesSeInforman()
    {
        QFETCH(QString, enlace);
        QFETCH(QString, motivo);
        QTemporaryDir maestra;
        QTemporaryDir estacion;
        QVERIFY(generarContenido(maestra.path()).resultado.ok());
        QVERIFY(generarContenido(estacion.path()).resultado.ok());
        QString ruta = QDir(estacion.path()).filePath(enlace);
        const QByteArray ilegible
            = QFile::encodeName(carpetaModelo(estacion.path(), Asignatura::Matematica, 3))
            + "/Mat_\xff\xfe.jpg";
        const auto limpiar = qScopeGuard([&] { std::remove(ilegible.constData()); });
        if (enlace.isEmpty()) {
            std::FILE *f = std::fopen(ilegible.constData(), "w");
            QVERIFY(f);
            std::fclose(f);
            ruta
                = carpetaModelo(estacion.path(), Asignatura::Matematica, 3) + "/Mat_\\xff\\xfe.jpg";
        } else {
            QVERIFY(QFileInfo(ruta).isDir() ? QDir(ruta).removeRecursively() : QFile::remove(ruta));
            QVERIFY(QFile::link(QDir(maestra.path()).filePath(enlace), ruta));
        }
        const InformeContenido informe = verificarContenido(estacion.path());
        QCOMPARE(informe.problemas.size(), 1);
        QVERIFY2(informe.problemas.first().startsWith(ruta), qPrintable(informe.problemas.first()));
        QVERIFY2(informe.problemas.first().contains(motivo), qPrintable(informe.problemas.first()));
    }

    void imagenesNoEsUnaCarpeta()
    {
        QTemporaryDir dir;
        crearArchivo(dir.filePath("Imagenes"));
        const InformeContenido informe = verificarContenido(dir.path());
        QCOMPARE(informe.problemas,
            QStringList({ dir.filePath("Imagenes") + ": es un archivo, no una carpeta" }));
    }

    void recopilaVariosAlumnos()
    {
        QTemporaryDir estacion1;
        QTemporaryDir estacion2;
        QTemporaryDir salida;
        const QString a = libroDeAlumno(estacion1.path(), "0101", true, true);
        const QString b = libroDeAlumno(estacion1.path(), "0202", false, true);
        const QString vacio = libroDeAlumno(estacion2.path(), "0303", false, false);
        const QString c = libroDeAlumno(estacion2.path(), "0404", true, false);
        const QString corrupto
            = QDir(estacion2.path()).filePath("Apl Examen - EE1111111_M_1A_2_0355.xlsx");
        crearArchivo(corrupto, "PK esto no es un libro");
        const QString ajeno
            = QDir(estacion1.path()).filePath("Apl Examen - EE1111111_M_1A_2_0999.xlsx");
        CeldasHoja raro;
        raro[{ 1, 9 }] = Celda::deTexto("Historia");
        escribirLibroDePrueba(ajeno, raro);
        crearArchivo(QDir(estacion1.path()).filePath("otro.xlsx"), "no se mira");
        QMap<QString, QByteArray> antes;
        for (const QString &f : { a, b, vacio, c, corrupto, ajeno })
            antes[f] = huella(f);

        QList<int> avances;
        const QString destino = salida.filePath("resultados.xlsx");
        const InformeRecopilacion r = recopilarResultados(destino,
            { estacion1.path(), estacion2.path() }, [&](int hechos, int) { avances << hechos; });
        QVERIFY2(r.resultado.ok(), qPrintable(r.resultado.texto()));
        QCOMPARE(r.libros, 4);
        QCOMPARE(r.filas, 4);
        QCOMPARE(r.omitidos.size(), 2);
        QVERIFY(r.omitidos[0].startsWith(ajeno
            + ": no es un libro de resultados de la estación (la fila 1 no es de Matematica"));
        QVERIFY(r.omitidos[1].startsWith(corrupto + ": "));
        QCOMPARE(avances.last(), 6);
        for (auto it = antes.begin(); it != antes.end(); ++it)
            QCOMPARE(huella(it.key()), it.value());

        CeldasHoja hoja;
        DiscoLocal disco;
        QVERIFY(!LibroXlsx(disco).leerReporte(destino, &hoja).ok()); // its sheet is "Resultados"
        QFile csv(r.salidaCsv);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QByteArray bytes = csv.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF")); // UTF-8 with its byte-order mark
        const QStringList lineas
            = QString::fromUtf8(bytes.mid(3)).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(lineas.size(), 5);
        // As a program we did not write reads it: the mark is not part of the first name.
        const SalidaPython py = ejecutarPython(
            "import csv\nfilas = list(csv.reader(open(sys.argv[1], encoding='utf-8-sig', "
            "newline='')))\nprint(len(filas), filas[0][0], filas[1][1])",
            { r.salidaCsv });
        QVERIFY2(py.ok, qPrintable(py.error));
        QCOMPARE(py.salida.trimmed(), "5 Código de Empresa ESCUELA PRUEBA 1, \"ANEXO\"");
        QVERIFY(lineas[0].startsWith("Código de Empresa,Nombre del Establecimiento,Sexo"));
        QVERIFY(lineas[0].endsWith(",P22,Archivo"));
        const QString nombre = "\"ESCUELA PRUEBA 1, \"\"ANEXO\"\"\"";
        QCOMPARE(lineas[1],
            "EE1111111," + nombre
                + ",2,0101,,,M,1A,Matematica,3,A,A,,A,A,,A,A,,A,A,,A,A,,A,A,,A,A,,A,"
                  "Apl Examen - EE1111111_M_1A_2_0101.xlsx");
        QVERIFY(lineas[2].contains(",Lengua,4,D,D,D,"));
        QVERIFY(lineas[3].endsWith("_0202.xlsx") && lineas[3].contains(",Lengua,"));
        QVERIFY(lineas[4].endsWith("_0404.xlsx") && lineas[4].contains(",Matematica,"));
    }

    // Each student and subject counts once: a workbook read twice (a folder given twice, a
    // copy in a second folder) adds nothing; a copy with an answer changed takes the student
    // out, both named; a note the staff wrote beside the report costs nothing.
    void cadaAlumnoUnaVez_data()
    {
        QTest::addColumn<QString>("copia");
        QTest::addColumn<int>("filas");
        QTest::addColumn<QString>("motivo");
        QTest::newRow("the same folder twice") << "misma carpeta" << 2 << "copia repetida de ";
        QTest::newRow("a copy in another folder") << "igual" << 2 << "copia repetida de ";
        QTest::newRow("a copy with an answer changed")
            << "distinta" << 3 << "respuestas distintas para el mismo alumno en ";
        QTest::newRow("a note beside the report") << "nota" << 2 << "";
    }
    void cadaAlumnoUnaVez()
    {
        QFETCH(QString, copia);
        QFETCH(int, filas);
        QFETCH(QString, motivo);
        QTemporaryDir estacion, otra, salida;
        const QString libro = libroDeAlumno(estacion.path(), "0101", true, true);
        const QString copiado = QDir(otra.path()).filePath(QFileInfo(libro).fileName());
        QVERIFY(QFile::copy(libro, copiado));
        QStringList carpetas { estacion.path(),
            copia == "misma carpeta" ? estacion.path() : otra.path() };
        if (copia == "distinta" || copia == "nota") {
            const SalidaPython editado = ejecutarPython(copia == "nota"
                    ? QStringLiteral(
                        "wb = openpyxl.load_workbook(sys.argv[1]); wb['Reporte']['A4'] = "
                        "'revisado'; wb['Reporte']['AH1'] = 'ok'; wb.save(sys.argv[1])")
                    : QStringLiteral("wb = openpyxl.load_workbook(sys.argv[1]); "
                                     "wb['Reporte']['K1'] = 'D'; wb.save(sys.argv[1])"),
                { copiado });
            QVERIFY2(editado.ok, qPrintable(editado.error));
            if (copia == "nota")
                carpetas = { otra.path() };
        }
        const InformeRecopilacion r = recopilarResultados(salida.filePath("r.xlsx"), carpetas);
        QVERIFY2(r.resultado.ok(), qPrintable(r.resultado.texto()));
        QCOMPARE(r.filas, filas);
        if (motivo.isEmpty()) {
            QCOMPARE(r.omitidos, QStringList());
            return;
        }
        QVERIFY(!r.omitidos.isEmpty());
        QVERIFY2(r.omitidos.first().contains(motivo + libro)
                || r.omitidos.first().contains(motivo + copiado),
            qPrintable(r.omitidos.first()));
    }

    // Text that a spreadsheet would run as a formula reaches the CSV as text, with a leading
    // apostrophe; numbers and ordinary text are left as they are.
    void csvQueNoSeEjecuta()
    {
        QTemporaryDir estacion;
        QTemporaryDir salida;
        libroDeAlumno(estacion.path(), "-0101", true, false, [](Sesion &s) {
            s.NombreEscuela = QStringLiteral("+SUMA(A1)");
            s.Seccion = QStringLiteral("=HYPERLINK(\"x\")");
            s.Turno = QStringLiteral("@M");
        });
        const InformeRecopilacion r
            = recopilarResultados(salida.filePath("r.xlsx"), { estacion.path() });
        QVERIFY2(r.resultado.ok(), qPrintable(r.resultado.texto()));
        QFile csv(r.salidaCsv);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QStringList lineas
            = QString::fromUtf8(csv.readAll()).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(lineas.size(), 2);
        QVERIFY2(
            lineas[1].startsWith(
                "EE1111111,'+SUMA(A1),2,'-0101,,,'@M,\"'=HYPERLINK(\"\"x\"\")\",Matematica,3,A,"),
            qPrintable(lineas[1]));
    }

    // Workbooks crafted to break the collector are skipped and named; the others are gathered.
    void librosHostilesSeOmiten_data()
    {
        QTest::addColumn<QByteArray>("hoja");
        QTest::addColumn<QString>("motivo");
        QTest::newRow("100000 nested elements") << "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is>"
                + QByteArray("<r>").repeated(100000) + QByteArray("</r>").repeated(100000)
                + "</is></c></row>" << textoCausaLibro(CausaFallo::AnidamientoExcesivo);
        QTest::newRow("a cell over 32767 characters")
            << "<row r=\"1\"><c r=\"B1\" t=\"inlineStr\"><is><t>" + QByteArray(40000, 'x')
                + "</t></is></c><c r=\"I1\" t=\"inlineStr\"><is><t>Matematica</t></is></c></row>"
            << textoCausaLibro(CausaFallo::TextoDemasiadoLargo);
        // A carriage return would come back from the output as a line feed: that workbook is
        // named, and the rest are gathered.
        for (const QByteArray &seccion :
            { QByteArray("&#13;"), QByteArray("a&#13;b"), QByteArray("a&#13;&#10;b") })
            QTest::newRow("control character " + seccion)
                << "<row r=\"1\"><c r=\"H1\" t=\"inlineStr\"><is><t>" + seccion
                    + "</t></is></c><c r=\"I1\" "
                      "t=\"inlineStr\"><is><t>Matematica</t></is></c></row>"
                << textoCausaHerramienta(CausaFallo::TextoNoGuardable);
    }
    void librosHostilesSeOmiten()
    {
        QFETCH(QByteArray, hoja);
        QFETCH(QString, motivo);
        QTemporaryDir estacion;
        QTemporaryDir salida;
        libroDeAlumno(estacion.path(), "0101", true, true);
        libroDeAlumno(estacion.path(), "0303", true, false);
        const QString hostil = libroDeAlumno(estacion.path(), "0202", false, false);
        // The student's own workbook with its sheet replaced by the hostile one.
        QByteArray bytes;
        QVERIFY(DiscoLocal().leer(hostil, limitesXlsx::kMaxBytesLibro, &bytes).ok());
        QString parteHoja, parteCadenas;
        QVERIFY(
            PaqueteXlsx(bytes).buscarHoja(kNombreHojaReporte(), &parteHoja, &parteCadenas).ok());
        int err = 0;
        zip_t *z = zip_open(QFile::encodeName(hostil).constData(), 0, &err);
        QVERIFY(z);
        const QByteArray contenido
            = "<?xml version=\"1.0\"?><worksheet "
              "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
            + hoja + "</sheetData></worksheet>";
        zip_file_add(z, parteHoja.toUtf8().constData(),
            zip_source_buffer(z, contenido.constData(), zip_uint64_t(contenido.size()), 0),
            ZIP_FL_OVERWRITE);
        QCOMPARE(zip_close(z), 0);
        QVERIFY(QFileInfo(hostil).size() < 1024 * 1024);

        const InformeRecopilacion r
            = recopilarResultados(salida.filePath("r.xlsx"), { estacion.path() });
        QVERIFY2(r.resultado.ok(), qPrintable(r.resultado.texto()));
        QCOMPARE(r.libros, 2);
        QCOMPARE(r.filas, 3);
        QCOMPARE(r.omitidos.size(), 1);
        QVERIFY2(
            r.omitidos.first().startsWith(hostil + ": " + motivo), qPrintable(r.omitidos.first()));
    }

    // Anything named like a workbook that is not an ordinary file is named, never opened.
    void noArchivosSeNombran_data()
    {
        QTest::addColumn<QString>("tipo");
        QTest::newRow("pipe") << "tubería";
        QTest::newRow("folder") << "carpeta";
        QTest::newRow("link to /dev/zero") << "enlace";
        QTest::newRow("link to a workbook") << "enlace a libro";
    }
    void noArchivosSeNombran()
    {
        QFETCH(QString, tipo);
        QTemporaryDir estacion;
        QTemporaryDir salida;
        const QString bueno = libroDeAlumno(estacion.path(), "0101", true, true);
        const QString raro
            = QDir(estacion.path()).filePath("Apl Examen - EE1111111_M_1A_2_0202.xlsx");
        if (tipo == "tubería")
            QCOMPARE(QProcess::execute("mkfifo", { raro }), 0);
        else if (tipo == "carpeta")
            QVERIFY(QDir().mkpath(raro));
        else
            QVERIFY(QFile::link(tipo == "enlace" ? "/dev/zero" : bueno, raro));
        const InformeRecopilacion r
            = recopilarResultados(salida.filePath("r.xlsx"), { estacion.path() });
        QVERIFY2(r.resultado.ok(), qPrintable(r.resultado.texto()));
        QCOMPARE(r.libros, 1);
        QCOMPARE(r.omitidos.size(), 1);
        QVERIFY2(r.omitidos.first().startsWith(raro + ": no es un archivo"),
            qPrintable(r.omitidos.first()));
    }

    // The collector killed as it enters each of its renames, from staging the report to
    // placing the last output: once the placing is finished, as the next run or the staff
    // window does first, the three outputs are all the old ones or all the new ones, and
    // nothing staged is left.
    void colocacionInterrumpida_data()
    {
        QTest::addColumn<int>("renombre");
        QTest::addColumn<bool>("nuevos");
        QTest::newRow("staging the report") << 1 << false;
        QTest::newRow("listing the set") << 2 << false;
        for (int i = 3; i <= 5; ++i)
            QTest::addRow("placing output %d", i - 2) << i << true;
    }
    void colocacionInterrumpida()
    {
        QFETCH(int, renombre);
        QFETCH(bool, nuevos);
        if (QStandardPaths::findExecutable("strace").isEmpty())
            QSKIP("strace is not installed");
        QTemporaryDir estacion;
        QTemporaryDir salida;
        const QString claves = salida.filePath("claves.xlsx");
        QVERIFY(escribirClavesDemo(estacion.path(), claves).ok());
        libroDeAlumno(estacion.path(), "0101", true, true);
        const QStringList args { salida.filePath("r.xlsx"), estacion.path(), "--claves", claves };
        QProcess primera;
        primera.start(RECOPILAR_RESULTADOS, args);
        QVERIFY(primera.waitForFinished(60000));
        QCOMPARE(primera.exitCode(), 0);
        QStringList antes;
        for (const char *nombre : { "r.xlsx", "r.csv", "r.pdf" })
            antes << huella(salida.filePath(nombre)).toHex();
        libroDeAlumno(estacion.path(), "0202", false, true);
        QProcess muerto;
        muerto.start("strace",
            QStringList { "-f", "-qq", "-o", "/dev/null", "-e", "trace=rename,renameat,renameat2",
                "-e",
                QStringLiteral("inject=rename,renameat,renameat2:signal=SIGKILL:when=%1")
                    .arg(renombre),
                RECOPILAR_RESULTADOS }
                + args);
        QVERIFY(muerto.waitForFinished(60000));
        QCOMPARE(muerto.exitStatus(), QProcess::CrashExit);
        bool completada = false;
        QVERIFY(completarRecopilacionInterrumpida(salida.filePath("r.xlsx"), &completada).ok());
        QCOMPARE(completada, nuevos);
        int cambiados = 0;
        for (const char *nombre : { "r.xlsx", "r.csv", "r.pdf" })
            cambiados += !antes.contains(huella(salida.filePath(nombre)).toHex());
        QCOMPARE(cambiados, nuevos ? 3 : 0);
        QCOMPARE(QDir(salida.path())
                     .entryList(QDir::Hidden | QDir::Files)
                     .filter(QRegularExpression("^\\.")),
            QStringList());
    }

    // Every tool answers --help and --version and refuses what it does not know, as people
    // expect, and makes nothing out of an option's name.
    void lineasDeOrdenes_data()
    {
        QTest::addColumn<QString>("herramienta");
        QTest::addColumn<QString>("opcion");
        QTest::addColumn<int>("salida");
        for (const char *h :
            { GENERAR_CONTENIDO, VERIFICAR_CONTENIDO, RECOPILAR_RESULTADOS, PREPARAR_ESTACION }) {
            const QString nombre = QFileInfo(h).fileName();
            QTest::addRow("%s --help", qPrintable(nombre)) << QString(h) << "--help" << 0;
            QTest::addRow("%s --version", qPrintable(nombre)) << QString(h) << "--version" << 0;
            QTest::addRow("%s --nada", qPrintable(nombre)) << QString(h) << "--nada" << 2;
        }
    }
    void lineasDeOrdenes()
    {
        QFETCH(QString, herramienta);
        QFETCH(QString, opcion);
        QFETCH(int, salida);
        QTemporaryDir aqui;
        QProcess p;
        p.setWorkingDirectory(aqui.path());
        p.start(herramienta, { opcion });
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), salida);
        const QByteArray dicho = salida == 0 ? p.readAllStandardOutput() : p.readAllStandardError();
        QVERIFY2(dicho.contains(opcion == "--version" ? "2026" : "--help"), dicho.constData());
        QCOMPARE(
            QDir(aqui.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList());
    }

    // The merged workbook never takes the place of a student's workbook.
    void salidaQueSeriaUnLibroDeAlumno_data()
    {
        QTest::addColumn<QString>("nombre");
        QTest::newRow("one of the sources") << "Apl Examen - EE1111111_M_1A_2_0101.xlsx";
        QTest::newRow("named like a student's") << "apl examen - otro.xlsx";
    }
    void salidaQueSeriaUnLibroDeAlumno()
    {
        QFETCH(QString, nombre);
        QTemporaryDir estacion;
        const QString fuente = libroDeAlumno(estacion.path(), "0101", true, true);
        const QByteArray antes = huella(fuente);
        const InformeRecopilacion r
            = recopilarResultados(estacion.filePath(nombre), { estacion.path() });
        QVERIFY(r.resultado.detalle.contains("se llama como el libro de un alumno"));
        QCOMPARE(huella(fuente), antes);
        QCOMPARE(QDir(estacion.path()).entryList(QDir::Files | QDir::Hidden),
            QStringList({ QFileInfo(fuente).fileName() }));
    }

    // Redirected to a file, the collector writes no running count, only its summary; a
    // skipped workbook makes the exit status 3.
    void recopiladorFueraDeUnaTerminal()
    {
        QTemporaryDir estacion;
        QTemporaryDir salida;
        for (int i = 0; i < 24; ++i)
            libroDeAlumno(estacion.path(), QString::number(1000 + i), true, i % 2 == 0);
        crearArchivo(QDir(estacion.path()).filePath("Apl Examen - dañado.xlsx"), "no es un libro");
        QProcess herramienta;
        herramienta.start(
            QStringLiteral(RECOPILAR_RESULTADOS), { salida.filePath("r.xlsx"), estacion.path() });
        QVERIFY(herramienta.waitForFinished(60000));
        QCOMPARE(herramienta.exitCode(), 3);
        const QByteArray errores = herramienta.readAllStandardError();
        QVERIFY2(
            !errores.contains("Leyendo libros") && !errores.contains('\r'), errores.constData());
        const QStringList lineas = QString::fromUtf8(herramienta.readAllStandardOutput())
                                       .split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lineas.size(), 2);
        QVERIFY(lineas[0].startsWith(QStringLiteral("omitido: ")));
        QVERIFY2(lineas[1].startsWith(QStringLiteral("24 libro(s), 36 fila(s) en ")),
            qPrintable(lineas[1]));
    }

    void salidaImposible()
    {
        QTemporaryDir estacion;
        libroDeAlumno(estacion.path(), "1", true, false);
        const InformeRecopilacion r
            = recopilarResultados(estacion.filePath("no/hay/r.xlsx"), { estacion.path() });
        QVERIFY(!r.resultado.ok());
    }

private:
    QTemporaryDir m_completo;
};

QTEST_MAIN(TstHerramientas)
#include "tst_Herramientas.moc"
