#pragma once

#include "Module1.h"

// The question of "Guardar y Finalizar": the unanswered questions, if any, and the subject.
QString textoConfirmacion(const Sesion::Respuestas &respuestas, const QString &materia);

struct Resultado;

// Told to the student when the answers could not be written, with the cause for the
// supervisor; the exam stays open.
QString textoGuardadoFallido(const Resultado &causa);
