#include "Apoyo.h"
#include "ContenidoDemo.h"

#include <QDirIterator>
#include <QFile>
#include <QImageReader>
#include <QTest>

namespace {
QStringList archivosCon(const QString &carpeta, const QString &filtro)
{
    QStringList r;
    QDirIterator it(carpeta, { filtro }, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        r << it.next();
    return r;
}
} // namespace

class TstContenidoDemo : public QObject {
    Q_OBJECT
private slots:
    void contenidoCompletoYSoloLoQueFalta()
    {
        QTemporaryDir dir;
        const ResultadoGeneracion r = generarContenido(dir.path());
        QVERIFY2(r.resultado.ok(), qPrintable(r.resultado.texto()));
        QCOMPARE(r.imagenes, 264);
        QCOMPARE(r.documentos, 7);
        QCOMPARE(archivosCon(dir.path(), "*.jpg").size(), 264);
        QCOMPARE(archivosCon(dir.path(), "*.pdf").size(), 7);

        for (Asignatura a : { Asignatura::Matematica, Asignatura::Lengua }) {
            for (int m = 1; m <= kModelos; ++m) {
                for (int q = 1; q <= kPreguntas; ++q) {
                    QImageReader lector(rutaPregunta(dir.path(), a, m, q));
                    QCOMPARE(lector.format(), QByteArray("jpeg"));
                    QCOMPARE(lector.size(), kTamanoPreguntaDemo);
                }
            }
        }
        for (const QString &pdf : archivosCon(dir.path(), "*.pdf")) {
            QFile f(pdf);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY(f.read(5) == "%PDF-");
        }
        QVERIFY(QFile::exists(rutaTablaFormulas(dir.path())));
        QVERIFY(QFile::exists(rutaTextosLengua(dir.path(), 6)));

        // After a finished subject's pictures are deleted, only those come back.
        for (const QString &f : archivosCon(carpetaModelo(dir.path(), Asignatura::Lengua, 2), "*"))
            QFile::remove(f);
        const ResultadoGeneracion otra = generarContenido(dir.path());
        QCOMPARE(otra.imagenes, 22);
        QCOMPARE(otra.documentos, 1);
    }

    void carpetaImposible()
    {
        QTemporaryDir dir;
        crearArchivo(dir.filePath("Imagenes")); // a file where the folder should be
        const ResultadoGeneracion r = generarContenido(dir.path());
        QVERIFY(!r.resultado.ok());
        QCOMPARE(r.imagenes, 0);
    }
};

QTEST_MAIN(TstContenidoDemo)
#include "tst_ContenidoDemo.moc"
