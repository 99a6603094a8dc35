#include "Finalizacion.h"

#include "Disco.h"

QString textoConfirmacion(const Sesion::Respuestas &respuestas, const QString &materia)
{
    QString lista = QStringLiteral("Aun fatan contestar las preguntas: ");
    bool faltan = false;
    for (int i = 1; i <= kPreguntas; ++i) {
        if (respuestas[i].isEmpty()) {
            lista += QString::number(i) + QStringLiteral(", ");
            faltan = true;
        }
    }
    const QString pregunta = QStringLiteral("Confirma que desea Guardar y Finalizar el Examen de ")
        + materia + QStringLiteral(" ?");
    if (faltan)
        return lista.left(lista.size() - 2) + QStringLiteral(". ") + pregunta;
    return QStringLiteral("Se respondieron todas las preguntas. ") + pregunta;
}

QString textoGuardadoFallido(const Resultado &causa)
{
    return QStringLiteral("ATENCIÓN: las respuestas NO se guardaron.\r\n"
                          "No cierre el programa y llame al supervisor.\r\n"
                          "El examen sigue abierto con todas sus respuestas; cuando el "
                          "supervisor lo indique, vuelva a oprimir \"Guardar y Finalizar\".\r\n\r\n"
                          "Causa: %1")
        .arg(causa.texto());
}
