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
    // Pearson between choosing each option (0/1) and the rest score; empty without variance.
    std::array<std::optional<double>, 4> correlacionOpcion;
    // The share of the best and of the worst 27 % who chose each option.
    std::array<double, 4> entreMejores {};
    std::array<double, 4> entrePeores {};
    // Mantel–Haenszel by sex (reference Sexo 1, focal Sexo 2), strata the scores; all empty
    // when either group is too small or the odds ratio is 0 or undefined.
    std::optional<double> difDelta;
    std::optional<double> difErrorEstandar; // of delta
    std::optional<double> difChi2;
    QString difCategoria; // "A", "B" or "C"
    QString observacion;
    bool senalada = false; // its observation flags it: the model has students enough for it
};

struct AnalisisModelo {
    bool senales = true; // students enough for the questions' flags (kMinimoParaSenalar)
    Asignatura asignatura = Asignatura::Matematica;
    int modelo = 0;
    int alumnos = 0;
    double media = 0;
    double desvio = 0;
    std::optional<double> kr20;
    std::optional<double> errorEstandar;
    std::array<int, kPreguntas + 1> histograma {}; // students per count of correct answers
    std::array<AnalisisItem, kPreguntas> items;
    // The equated score of each raw score 0 … 22 on the scale of every student of the subject;
    // the raw score itself when the model has too few students to equate.
    std::array<double, kPreguntas + 1> equiparacion {};
    enum class Metodo { Ninguno, Lineal, Equipercentil };
    Metodo metodo = Metodo::Ninguno;
    double mediaEquiparada = 0;
};

struct AnalisisEstablecimiento {
    QString codEmpresa;
    QString nombreEscuela;
    QString turno;
    QString seccion;
    Asignatura asignatura = Asignatura::Matematica;
    int alumnos = 0;
    double porcentajeMedio = 0;
    double porcentajeEquiparadoMedio = 0;
};

// Equipercentile equating of random groups with no smoothing: for each score x = 0 … 22 of
// the model's distribution `modelo`, the score of the same percentile rank in `referencia`.
// Both are students per score; neither may be empty.
std::array<double, kPreguntas + 1> equiparar(const std::array<int, kPreguntas + 1> &modelo,
    const std::array<qint64, kPreguntas + 1> &referencia);

// Linear equating, for a model too small for the percentiles: x is given the reference's score
// as many (population) standard deviations from its mean as x is from the model's,
// e(x) = μ_ref + σ_ref / σ_m (x − μ_m); the means alone when the model's scores are all equal.
std::array<double, kPreguntas + 1> equipararLineal(const std::array<int, kPreguntas + 1> &modelo,
    const std::array<qint64, kPreguntas + 1> &referencia);

// "equipercentil", "lineal (menos de 200 alumnos)", "sin equiparar (menos de 10 alumnos)".
QString textoMetodo(AnalisisModelo::Metodo metodo);

// The students of the best (or worst) 27 % of `alumnos`: ⌈27 N / 100⌉, in integers.
qint64 alumnosDelGrupoExtremo(qint64 alumnos);
// Mantel–Haenszel DIF over strata {A, B, C, D}: the reference group's right and wrong
// answers, then the focal group's. Only strata where both groups are present count; all empty
// when the odds ratio is 0 or undefined.
struct EstadisticoDif {
    std::optional<double> delta; // −2.35 ln α: negative when the question favours the reference
    // 2.35 times the standard error of ln α by Robins, Breslow and Greenland.
    std::optional<double> errorEstandar;
    // With the continuity correction when |ΣA − ΣE(A)| ≥ 0.5, as the usual test takes it.
    std::optional<double> chi2;
    // The ETS categories: A when |delta| < 1 or chi2 is not significant; C when |delta| ≥ 1.5
    // and |delta| is significantly greater than 1 (one-sided, 5 %); B otherwise.
    QString categoria;
};
EstadisticoDif mantelHaenszel(const std::vector<std::array<int, 4>> &estratos);

// A score's percentage of the 22 questions, kept within 0 … 100.
double porcentajeEquiparado(double puntaje);

// Scores and item analysis of the students of each subject and model against the key:
// facility and discrimination of every question, the mean, deviation and KR-20 reliability of
// every model, and each class's mean percentage. Only sums and counts are kept as the students
// come, none per student: memory stays the same for ten workbooks or a province's.
// What stands where a flag or a category would, below its minimum of students: "muestra
// insuficiente (N = 82)".
QString textoMuestraInsuficiente(const QString &alumnos);

class Analisis {
public:
    // Below `minimoParaSenalar` students a model's questions carry no flag (kMinimoParaSenalar
    // by default; a test that checks the flags on a handful of students lowers it).
    explicit Analisis(const Claves &claves, int minimoParaSenalar = kMinimoParaSenalar);

    // Scores a student's subject and counts it; returns the correct answers, 0 to 22.
    int agregar(const RespuestasAlumno &alumno);
    // Takes back a student counted before, as if never added.
    void quitar(const RespuestasAlumno &alumno);
    // The equated score of a raw score, once modelos() has been called.
    double equiparado(Asignatura asignatura, int modelo, int correctas) const;

    // Every subject and model that has students, mathematics first; equates them too.
    std::vector<AnalisisModelo> modelos();
    // Every establishment, shift, section and subject, in that order; after modelos().
    std::vector<AnalisisEstablecimiento> establecimientos() const;

    // The thresholds of the flags, each with its usual source, written here once.
    // A question is worth a teacher's look below this discrimination (Ebel).
    static constexpr double kDiscriminacionBaja = 0.20;
    // Facility outside this range: too hard or too easy to tell students apart.
    static constexpr double kFacilidadMinima = 0.10;
    static constexpr double kFacilidadMaxima = 0.95;
    // KR-20 below the first is unsatisfactory, from the second on satisfactory.
    static constexpr double kKr20Insatisfactoria = 0.64;
    static constexpr double kKr20Satisfactoria = 0.75;
    // The best and the worst 27 % (Kelley), in whole students; students tied at the score
    // where a group ends count for the part of them that fits.
    static constexpr int kPorcientoExtremos = 27;
    // Fewer students in a model than this, and its questions are flagged with nothing but
    // "muestra insuficiente (N = …)": a discrimination or a facility of a few dozen students
    // moves by more than the thresholds above from one sample to the next.
    static constexpr int kMinimoParaSenalar = 100;
    // Models with fewer students are equated linearly, or not at all.
    static constexpr int kMinimoParaEquiparar = 200;
    // Models with fewer students than that are equated linearly; with fewer than this, not at all.
    static constexpr int kMinimoParaEquipararLineal = 10;
    // Mantel–Haenszel DIF: each sex needs this many students of the model; the ETS categories
    // A, B and C by |delta| 1 and 1.5 and the chi-square of one degree at 5 %.
    static constexpr int kMinimoPorSexoDif = 100;
    static constexpr double kDifDeltaB = 1.0;
    static constexpr double kDifDeltaC = 1.5;
    static constexpr double kChi2Significativo = 3.841;
    static constexpr double kNormalUnilateral = 1.645; // one-sided 5 % of the normal

private:
    void sumar(const RespuestasAlumno &alumno, int signo, int *correctas);

    struct Acumulado {
        // Per score, question, sex (1, 2) and right or wrong: what Mantel–Haenszel reads.
        std::array<std::array<std::array<std::array<int, 2>, 2>, kPreguntas>, kPreguntas + 1>
            porSexo {};
        std::array<qint64, 2> alumnosPorSexo {};
        qint64 alumnos = 0;
        qint64 sumaCorrectas = 0;
        qint64 sumaCuadrados = 0;
        std::array<qint64, kPreguntas> aciertos {};
        std::array<qint64, kPreguntas> aciertosPorCorrectas {}; // Σ x·C
        std::array<std::array<int, 5>, kPreguntas> elecciones {}; // A–D, then none
        std::array<int, kPreguntas + 1> histograma {};
        // Choices per score: the best 27 % are the students of the highest scores.
        std::array<std::array<std::array<int, 5>, kPreguntas>, kPreguntas + 1>
            eleccionesPorCorrectas {};
    };
    AnalisisModelo resumir(Asignatura asignatura, int modelo, const Acumulado &a) const;
    // The steps of a question's summary: the share of each score in the 27 % groups, the
    // correlations and the choices of the extreme groups, DIF by sex, and the notes.
    using PesosGrupo = std::array<double, kPreguntas + 1>;
    static PesosGrupo pesosExtremos(const Acumulado &a, qint64 grupo, bool desdeArriba);
    static void correlaciones(const Acumulado &a, int q, qint64 grupo, const PesosGrupo &mejores,
        const PesosGrupo &peores, AnalisisItem &item, std::array<double, 5> *entreMejores);
    static void difPorSexo(const Acumulado &a, int q, AnalisisItem &item);
    static QString observacion(const AnalisisItem &item, const std::array<double, 5> &entreMejores);

    const Claves &m_claves;
    int m_minimoParaSenalar;
    std::array<std::array<Acumulado, kModelos>, 2> m_acumulados;
    // Students per model and score of every class, so that its means come raw and equated.
    std::map<std::tuple<QString, QString, QString, QString, int>,
        std::array<std::array<qint64, kPreguntas + 1>, kModelos>>
        m_clases;
    std::array<std::array<std::array<double, kPreguntas + 1>, kModelos>, 2> m_equiparacion {};
};
