#pragma once

#include "Claves.h"
#include "Contenido.h"

#include <QString>

#include <array>
#include <map>
#include <optional>
#include <tuple>
#include <vector>

// One student's answers to one subject, as the collector reads them from a workbook.
struct RespuestasAlumno {
    QString codEmpresa;
    QString nombreEscuela;
    QString turno;
    QString seccion;
    int sexo = 0;
    QString dni;
    Asignatura asignatura = Asignatura::Matematica;
    int modelo = 0;
    std::array<char, kPreguntas> respuestas {}; // 'A' to 'D', or 0 when unanswered
};

struct AnalisisItem {
    char clave = 0;
    std::array<int, 4> opciones {}; // students who chose A, B, C, D
    int sinRespuesta = 0;
    double facilidad = 0;
    std::optional<double> discriminacion; // empty when the question or the rest has no variance
    QString observacion;
};

struct AnalisisModelo {
    Asignatura asignatura = Asignatura::Matematica;
    int modelo = 0;
    int alumnos = 0;
    double media = 0;
    double desvio = 0;
    std::optional<double> kr20;
    std::optional<double> errorEstandar;
    std::array<int, kPreguntas + 1> histograma {}; // students per count of correct answers
    std::array<AnalisisItem, kPreguntas> items;
};

struct AnalisisEstablecimiento {
    QString codEmpresa;
    QString nombreEscuela;
    QString turno;
    QString seccion;
    Asignatura asignatura = Asignatura::Matematica;
    int alumnos = 0;
    double porcentajeMedio = 0;
};

// Scores and item analysis of the students of each subject and model against the key:
// facility and discrimination of every question, the mean, deviation and KR-20 reliability of
// every model, and each class's mean percentage. Only sums and counts are kept as the students
// come, none per student: memory stays the same for ten workbooks or a province's.
class Analisis {
public:
    explicit Analisis(const Claves &claves);

    // Scores a student's subject and counts it; returns the correct answers, 0 to 22.
    int agregar(const RespuestasAlumno &alumno);

    // Every subject and model that has students, mathematics first.
    std::vector<AnalisisModelo> modelos() const;
    // Every establishment, shift, section and subject, in that order.
    std::vector<AnalisisEstablecimiento> establecimientos() const;

    // A question is worth a teacher's look below this discrimination.
    static constexpr double kDiscriminacionBaja = 0.20;
    // The share of best students whose choices are compared with the key. Students tied at
    // the score where that share ends count for the part of them that fits.
    static constexpr double kFraccionMejores = 0.27;

private:
    struct Acumulado {
        qint64 alumnos = 0;
        qint64 sumaCorrectas = 0;
        qint64 sumaCuadrados = 0;
        std::array<qint64, kPreguntas> aciertos {};
        std::array<qint64, kPreguntas> aciertosPorCorrectas {}; // Σ x·C
        std::array<std::array<int, 5>, kPreguntas> elecciones {}; // A–D, then none
        std::array<int, kPreguntas + 1> histograma {};
        // Choices per score: the best 27 % are the students of the highest scores.
        std::array<std::array<std::array<int, 5>, kPreguntas>, kPreguntas + 1> eleccionesPorCorrectas {};
    };
    AnalisisModelo resumir(Asignatura asignatura, int modelo, const Acumulado &a) const;

    const Claves &m_claves;
    std::array<std::array<Acumulado, kModelos>, 2> m_acumulados;
    std::map<std::tuple<QString, QString, QString, QString, int>, std::pair<qint64, double>> m_clases;
};
