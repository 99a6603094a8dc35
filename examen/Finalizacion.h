#pragma once

#include "Module1.h"

// The question of "Guardar y Finalizar": the unanswered questions, if any, and the subject.
QString textoConfirmacion(const Sesion::Respuestas &respuestas, const QString &materia);

// Told to the student when the answers could not be written; the exam stays open.
QString textoGuardadoFallido();
