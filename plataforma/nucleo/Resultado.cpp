#include "Resultado.h"

QString textoCausa(CausaFallo causa)
{
    switch (causa) {
    case CausaFallo::Ninguna:
        return QStringLiteral("sin error");
    case CausaFallo::SinEspacio:
        return QStringLiteral("no hay espacio libre en el disco");
    case CausaFallo::SinPermiso:
        return QStringLiteral("no se puede escribir en la carpeta (solo lectura o sin permiso)");
    case CausaFallo::SinCarpeta:
        return QStringLiteral("no se encuentra la carpeta");
    case CausaFallo::EnUso:
        return QStringLiteral("otro programa de la estación está guardando el mismo libro");
    case CausaFallo::ArchivoAbierto:
        return QStringLiteral("el archivo está abierto en otro programa");
    case CausaFallo::LibroIlegible:
        return QStringLiteral("el libro de resultados del alumno está dañado; no se lo reemplazó");
    case CausaFallo::LibroNoArmado:
        return QStringLiteral("no se pudo armar el libro nuevo; el anterior quedó como estaba");
    case CausaFallo::NoCoincide:
        return QStringLiteral("lo escrito en el disco no coincide con las respuestas");
    case CausaFallo::NoEsArchivo:
        return QStringLiteral("en lugar del archivo hay una carpeta, una tubería o un enlace");
    case CausaFallo::ArchivoDemasiadoGrande:
        return QStringLiteral("el archivo es más grande de lo que se admite");
    case CausaFallo::ArchivoInexistente:
        return QStringLiteral("no se encuentra el archivo");
    case CausaFallo::LecturaNegada:
        return QStringLiteral("no hay permiso para leer el archivo");
    case CausaFallo::Lectura:
        return QStringLiteral("falla al leer el disco");
    case CausaFallo::Escritura:
        return QStringLiteral("falla al escribir en el disco");
    case CausaFallo::SalidaNoPermitida:
        return QStringLiteral("la salida no puede ir donde se pidió");
    case CausaFallo::Cancelada:
        return QStringLiteral("se canceló a pedido; no se guardó nada");
    case CausaFallo::InformeNoDibujado:
        return QStringLiteral("no se pudo dibujar el informe");
    }
    return QStringLiteral("falla desconocida");
}

QString Resultado::texto() const
{
    if (detalle.isEmpty())
        return textoCausa(causa);
    return QStringLiteral("%1 (%2)").arg(textoCausa(causa), detalle);
}
