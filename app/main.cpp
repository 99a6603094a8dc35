#include "Entorno.h"
#include "Estacion.h"
#include "Module1.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    prepararAparienciaEstacion();

    MensajesQt mensajes;
    ArchivosLocales archivos;
    RelojSistema reloj;
    AbridorEscritorio abridor;
    LibroXlsx hoja;
    Entorno entorno {QCoreApplication::applicationDirPath(), mensajes, archivos, reloj, abridor, hoja};

    Sesion sesion;
    ejecutarEstacion(entorno, sesion);
    return 0;
}
