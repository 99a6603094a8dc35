// The staff's window: prepare a station, check it, gather and score the results.
#include "Recopilacion.h"
#include "VentanaPersonal.h"
#include "VisorPdf.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

int main(int argc, char **argv)
{
    prepararProcesoDeRecopilacion(true);
    QApplication app(argc, argv);
    // Started again by itself to show a report or to check a document apart.
    if (const int codigo = atenderDocumentoAparte(app.arguments()); codigo >= 0)
        return codigo;
    // The station's program is installed beside this one; in a build tree it is in ../app.
    QString programa = QCoreApplication::applicationDirPath();
    const QString compilada = QDir::cleanPath(QDir(programa).filePath(QStringLiteral("../app")));
    if (!QFileInfo::exists(QDir(programa).filePath(QStringLiteral("estacion")))
        && QFileInfo::exists(QDir(compilada).filePath(QStringLiteral("estacion"))))
        programa = compilada;
    VentanaPersonal ventana(programa);
    ventana.show();
    return app.exec();
}
