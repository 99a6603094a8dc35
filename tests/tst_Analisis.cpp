#include "Analisis.h"
#include "Claves.h"

#include <QTest>

#include <cmath>

namespace {

// Model 1 of mathematics keyed A B C D A B C D …; the other models all A.
Claves clavesDePrueba()
{
    Claves c;
    for (Asignatura a : { Asignatura::Matematica, Asignatura::Lengua }) {
        for (int m = 1; m <= kModelos; ++m) {
            for (int q = 1; q <= kPreguntas; ++q)
                c.poner(
                    a, m, q, a == Asignatura::Matematica && m == 1 ? char('A' + (q - 1) % 4) : 'A');
        }
    }
    return c;
}

// A student of model 1 of mathematics with these 22 answers (a space is no answer).
RespuestasAlumno alumno(const QByteArray &respuestas, const QString &seccion = QStringLiteral("1A"))
{
    Q_ASSERT(respuestas.size() == kPreguntas);
    RespuestasAlumno r;
    r.codEmpresa = QStringLiteral("EE0000001");
    r.nombreEscuela = QStringLiteral("ESCUELA");
    r.turno = QStringLiteral("M");
    r.seccion = seccion;
    r.asignatura = Asignatura::Matematica;
    r.modelo = 1;
    for (int q = 0; q < kPreguntas; ++q)
        r.respuestas[q] = respuestas[q] == ' ' ? 0 : respuestas[q];
    return r;
}

// The key of model 1 with the first `errores` questions answered by the next letter.
QByteArray conErrores(int errores)
{
    QByteArray r;
    for (int q = 0; q < kPreguntas; ++q)
        r += char('A' + (q + (q < errores ? 1 : 0)) % 4);
    return r;
}

} // namespace

class TstAnalisis : public QObject {
    Q_OBJECT
private slots:
    // Six students, worked out by hand. Student s gets wrong the first 0, 4, 7, 11, 16, 19
    // questions: 22, 18, 15, 11, 6 and 3 correct.
    //   Facility of question 1: only the first student, 1/6.
    //   Discrimination of question 1: x = (1,0,0,0,0,0) against the rest R = (21,18,15,11,6,3);
    //   mean R = 74/6, Σ(x−x̄)(R−R̄) = 52/6, Σ(x−x̄)² = 5/6, Σ(R−R̄)² = 730/3,
    //   r = (52/6) / √(5/6 · 730/3) = 0.608614.
    //   Mean 75/6 = 12.5; variance (22²+18²+15²+11²+6²+3²)/6 − 12.5² = 1199/6 − 156.25 = 43.583333.
    //   Σpq = 4·(1/6·5/6) + 3·(2/6·4/6) + 4·(3/6·3/6) + 5·(4/6·2/6) + 3·(5/6·1/6) + 3·0 = 135/36
    //   = 3.75; KR-20 = 22/21 · (1 − 3.75/43.583333) = 0.957480; SE = √43.583333 · √(1 − 0.957480)
    //   = 1.361314.
    void tablaCalculadaAMano()
    {
        const Claves claves = clavesDePrueba();
        Analisis analisis(claves, 1); // flags on a handful of students
        QList<int> puntajes;
        for (int errores : { 0, 4, 7, 11, 16, 19 })
            puntajes << analisis.agregar(alumno(conErrores(errores)));
        QCOMPARE(puntajes, QList<int>({ 22, 18, 15, 11, 6, 3 }));

        const std::vector<AnalisisModelo> modelos = analisis.modelos();
        QCOMPARE(modelos.size(), size_t(1));
        const AnalisisModelo &m = modelos.front();
        QCOMPARE(m.alumnos, 6);
        QCOMPARE(m.media, 12.5);
        QVERIFY(std::fabs(m.desvio - 6.601767) < 1e-6);
        QVERIFY(m.kr20 && std::fabs(*m.kr20 - 0.957480) < 1e-6);
        QVERIFY(m.errorEstandar && std::fabs(*m.errorEstandar - 1.361314) < 1e-6);
        QCOMPARE(m.histograma[22], 1);
        QCOMPARE(m.histograma[0], 0);

        const AnalisisItem &q1 = m.items[0];
        QCOMPARE(q1.clave, 'A');
        QCOMPARE(q1.facilidad, 1.0 / 6);
        QVERIFY(q1.discriminacion && std::fabs(*q1.discriminacion - 0.608614) < 1e-6);
        QCOMPARE(q1.opciones, (std::array<int, 4> { 1, 5, 0, 0 })); // the wrong ones chose B
        QCOMPARE(q1.sinRespuesta, 0);
        QCOMPARE(
            q1.observacion, QStringLiteral("nadie eligió la opción C; nadie eligió la opción D"));
        // Answered right by all: no variance, no discrimination, and nothing said of it.
        QCOMPARE(m.items[21].facilidad, 1.0);
        QVERIFY(!m.items[21].discriminacion);

        const std::vector<AnalisisEstablecimiento> clases = analisis.establecimientos();
        QCOMPARE(clases.size(), size_t(1));
        QCOMPARE(clases.front().alumnos, 6);
        QVERIFY(std::fabs(clases.front().porcentajeMedio - 100.0 * 12.5 / 22) < 1e-9);
    }

    void sinVarianzaNoHayConfiabilidad()
    {
        const Claves claves = clavesDePrueba();
        Analisis uno(claves);
        uno.agregar(alumno(conErrores(3)));
        QVERIFY(!uno.modelos().front().kr20);
        Analisis iguales(claves);
        iguales.agregar(alumno(conErrores(3)));
        iguales.agregar(alumno(conErrores(3)));
        QCOMPARE(iguales.modelos().front().desvio, 0.0);
        QVERIFY(!iguales.modelos().front().kr20);
        QVERIFY(!iguales.modelos().front().errorEstandar);
    }

    // What a teacher is told of question 1 (key A), from the answers of every student.
    void observaciones_data()
    {
        QTest::addColumn<QList<QByteArray>>("alumnos");
        QTest::addColumn<QStringList>("esperadas");
        QTest::addColumn<QStringList>("ausentes");
        // The rest of each answer sheet sets the score: rest(k) is right on the first k of
        // questions 2 to 22, blank on the others.
        auto hoja = [](char primera, int restoCorrecto) {
            QByteArray r = conErrores(0);
            r[0] = primera;
            for (int q = 1 + restoCorrecto; q < kPreguntas; ++q)
                r[q] = ' ';
            return r;
        };
        QTest::newRow("the best chose another option: key to check")
            << QList<QByteArray> { hoja('B', 20), hoja('B', 19), hoja('B', 18), hoja('A', 5),
                   hoja('A', 4), hoja('A', 3), hoja('C', 2), hoja('D', 1), hoja('A', 0),
                   hoja('A', 6) }
            << QStringList { "discriminación negativa: revisar la clave",
                   "el 27 % mejor eligió B más que la clave" }
            << QStringList { "nadie eligió" };
        QTest::newRow("weak discrimination")
            // Right with 20, 10, 5 and 2 others right; wrong with 15, 10, 8 and 2: r = 0.04.
            << QList<QByteArray> { hoja('A', 20), hoja('B', 15), hoja('A', 10), hoja('C', 10),
                   hoja('D', 8), hoja('A', 5), hoja('A', 2), hoja('B', 2) }
            << QStringList { "discriminación baja (menor que 0,20)" }
            << QStringList { "negativa", "nadie eligió", "27 %" };
        QTest::newRow("options nobody chose")
            << QList<QByteArray> { hoja('A', 20), hoja('A', 15), hoja('D', 3), hoja('A', 10) }
            << QStringList { "nadie eligió la opción B", "nadie eligió la opción C" }
            << QStringList { "discriminación", "27 %" };
        // Four students: the best 27 % is 2 of them, the top one and half of the two tied at
        // 15 below. B is chosen by the top one and by one of the tied: 1.5 against A's 0.5.
        QTest::newRow("students tied at the cut count in part")
            << QList<QByteArray> { hoja('B', 20), hoja('A', 14), hoja('B', 15), hoja('A', 2) }
            << QStringList { "el 27 % mejor eligió B más que la clave" } << QStringList {};
        // The top one on A and both tied at 15 on B: A 1 against B's 2 halves, no more.
        QTest::newRow("a tie at the cut that does not beat the key")
            << QList<QByteArray> { hoja('A', 20), hoja('B', 15), hoja('B', 15), hoja('D', 2) }
            << QStringList {} << QStringList { "27 %" };
        QTest::newRow("nothing to say") << QList<QByteArray> {
            hoja('A', 20), hoja('A', 16), hoja('B', 10), hoja('C', 6), hoja('D', 3), hoja('A', 12)
        } << QStringList {} << QStringList { "discriminación", "nadie", "27 %" };
    }
    void observaciones()
    {
        QFETCH(QList<QByteArray>, alumnos);
        QFETCH(QStringList, esperadas);
        QFETCH(QStringList, ausentes);
        const Claves claves = clavesDePrueba();
        Analisis analisis(claves, 1); // flags on a handful of students
        for (const QByteArray &a : alumnos)
            analisis.agregar(alumno(a));
        const QString observacion = analisis.modelos().front().items[0].observacion;
        for (const QString &e : esperadas)
            QVERIFY2(observacion.contains(e), qPrintable(observacion));
        for (const QString &a : ausentes)
            QVERIFY2(!observacion.contains(a), qPrintable(observacion));
        if (esperadas.isEmpty() && ausentes.size() == 3)
            QCOMPARE(observacion, QString());
        // With the report's own minimum, so few students flag nothing, and say so.
        Analisis informe(claves);
        for (const QByteArray &a : alumnos)
            informe.agregar(alumno(a));
        const AnalisisModelo modelo = informe.modelos().front();
        QVERIFY(!modelo.senales);
        for (const AnalisisItem &item : modelo.items) {
            QVERIFY(!item.senalada);
            QCOMPARE(item.observacion,
                QStringLiteral("muestra insuficiente (N = %1)").arg(alumnos.size()));
            QVERIFY(item.difCategoria.startsWith(QStringLiteral("muestra insuficiente (N = ")));
        }
    }

    // Each class of each subject has its own mean; classes are told apart by every field.
    void establecimientosPorSeccion()
    {
        const Claves claves = clavesDePrueba();
        Analisis analisis(claves, 1); // flags on a handful of students
        analisis.agregar(alumno(conErrores(0), QStringLiteral("1A")));
        analisis.agregar(alumno(conErrores(11), QStringLiteral("1A")));
        analisis.agregar(alumno(conErrores(22), QStringLiteral("2B")));
        const std::vector<AnalisisEstablecimiento> clases = analisis.establecimientos();
        QCOMPARE(clases.size(), size_t(2));
        QCOMPARE(clases[0].seccion, QStringLiteral("1A"));
        QCOMPARE(clases[0].alumnos, 2);
        QCOMPARE(clases[0].porcentajeMedio, 75.0);
        QCOMPARE(clases[1].porcentajeMedio, 0.0);
    }

    // Every error of a key workbook is named by its cell.
    void erroresDeClaves_data()
    {
        QTest::addColumn<QList<QStringList>>("filas"); // rows after the header
        QTest::addColumn<QStringList>("errores");
        auto fila
            = [](const QString &materia, const QString &modelo, QChar letra = QLatin1Char('A')) {
                  QStringList f { materia, modelo };
                  for (int q = 0; q < kPreguntas; ++q)
                      f << QString(letra);
                  return f;
              };
        auto todas = [&] {
            QList<QStringList> filas;
            for (const QString &m : { QStringLiteral("Matematica"), QStringLiteral("Lengua") }) {
                for (int n = 1; n <= kModelos; ++n)
                    filas << fila(m, QString::number(n));
            }
            return filas;
        };
        QTest::newRow("complete") << todas() << QStringList {};
        QList<QStringList> sinModelo = todas();
        sinModelo.removeAt(8);
        QTest::newRow("a model missing")
            << sinModelo << QStringList { "falta la fila de Lengua, modelo 3" };
        QList<QStringList> letra = todas();
        letra[2][2 + 4] = QStringLiteral("E");
        QTest::newRow("a letter outside A to D")
            << letra << QStringList { "G4: \"E\" no es una letra de A a D" };
        QList<QStringList> minuscula = todas();
        minuscula[2][2 + 4] = QStringLiteral(" b ");
        QTest::newRow("a small letter with spaces is that letter") << minuscula << QStringList {};
        QList<QStringList> repetida = todas();
        repetida << fila(QStringLiteral("Lengua"), QStringLiteral("2"), QLatin1Char('B'));
        QTest::newRow("a repeated row")
            << repetida
            << QStringList { "A14: fila repetida de Lengua, modelo 2 (ya está en la fila 9)" };
        QList<QStringList> materia = todas();
        materia << fila(QStringLiteral("Historia"), QStringLiteral("1"));
        QTest::newRow("an unknown subject")
            << materia << QStringList { "A14: materia desconocida \"Historia\"" };
        QList<QStringList> modelo = todas();
        modelo[0][1] = QStringLiteral("7");
        QTest::newRow("a model out of range") << modelo
                                              << QStringList { "B2: modelo \"7\" fuera de 1 a 6",
                                                     "falta la fila de Matematica, modelo 1" };
    }
    void erroresDeClaves()
    {
        QFETCH(QList<QStringList>, filas);
        QFETCH(QStringList, errores);
        CeldasHoja celdas;
        celdas[{ 1, 1 }] = Celda::deTexto(QStringLiteral("Materia"));
        celdas[{ 1, 2 }] = Celda::deTexto(QStringLiteral("Modelo"));
        for (int q = 1; q <= kPreguntas; ++q)
            celdas[{ 1, 2 + q }] = Celda::deTexto(QStringLiteral("P%1").arg(q));
        for (int f = 0; f < filas.size(); ++f) {
            for (int c = 0; c < filas[f].size(); ++c) {
                bool numero = false;
                const double n = filas[f][c].toDouble(&numero);
                celdas[{ f + 2, c + 1 }]
                    = c == 1 && numero ? Celda::deNumero(n) : Celda::deTexto(filas[f][c]);
            }
        }
        const LecturaClaves lectura = interpretarClaves(celdas);
        QCOMPARE(lectura.errores, errores);
        if (errores.isEmpty()) {
            QCOMPARE(lectura.claves.letra(Asignatura::Lengua, 6, 22), 'A');
            if (QTest::currentDataTag()
                == QByteArrayLiteral("a small letter with spaces is that letter"))
                QCOMPARE(lectura.claves.letra(Asignatura::Matematica, 3, 5), 'B');
        }
    }

    // Equipercentile equating worked by hand. The model's scores 1, 2, 2, 3 against the pooled
    // 0, 1, 2, 2, 3, 3, 4, 4: F_ref = 1/8, 2/8, 4/8, 6/8, 1. Ranks P(x) = 0, 12.5, 50, 87.5,
    // then 100; 12.5 and 50 fall exactly on F_ref(0) and F_ref(2), so the next score is taken:
    //   e(0) = 0/(1/8) + 0 − 0.5 = −0.5;   e(1) = (1/8 − 1/8)/(1/8) + 1 − 0.5 = 0.5;
    //   e(2) = (4/8 − 4/8)/(2/8) + 3 − 0.5 = 2.5;   e(3) = (7/8 − 6/8)/(2/8) + 4 − 0.5 = 4;
    //   P = 100 from 4 on: 22.5.
    void equiparacionCalculadaAMano()
    {
        std::array<int, kPreguntas + 1> modelo {};
        std::array<qint64, kPreguntas + 1> referencia {};
        for (int x : { 1, 2, 2, 3 })
            ++modelo[x];
        for (int x : { 0, 1, 2, 2, 3, 3, 4, 4 })
            ++referencia[x];
        const std::array<double, kPreguntas + 1> e = equiparar(modelo, referencia);
        const QList<double> esperado { -0.5, 0.5, 2.5, 4.0 };
        for (int x = 0; x <= kPreguntas; ++x)
            QCOMPARE(e[x], x < 4 ? esperado[x] : 22.5);
    }

    // Mantel–Haenszel worked by hand, over two strata {A, B, C, D}: (10, 10, 5, 15), T = 40,
    // and (20, 5, 10, 10), T = 45. α = (150/40 + 200/45) / (50/40 + 50/45) = 3.470588,
    // delta = −2.35 ln α = −2.924162; ΣA = 30, ΣE(A) = 300/40 + 750/45 = 24.166667,
    // ΣVar = 150000/62400 + 225000/89100 = 4.929099, chi2 = (5.833333 − 0.5)² / 4.929099
    // = 5.770719: category C, favouring the reference, since |delta| − 1 is 1.712 standard
    // errors (2.35 × 0.478260 by Robins, Breslow and Greenland = 1.123910). A stratum with one
    // group only adds nothing; no wrong answer in the reference leaves α undefined. Every figure
    // is also R's mantelhaen.test (the standard error from its confidence interval).
    void difCalculadoAMano_data()
    {
        QTest::addColumn<QList<int>>("estratos"); // four numbers a stratum
        QTest::addColumn<double>("delta"); // 0: empty
        QTest::addColumn<double>("errorEstandar");
        QTest::addColumn<double>("chi2");
        QTest::addColumn<QString>("categoria");
        QTest::newRow("two strata") << QList<int>({ 10, 10, 5, 15, 20, 5, 10, 10 }) << -2.924162
                                    << 1.123910 << 5.770719 << "C";
        QTest::newRow("and one of a single group")
            << QList<int>({ 10, 10, 5, 15, 20, 5, 10, 10, 7, 3, 0, 0 }) << -2.924162 << 1.123910
            << 5.770719 << "C";
        // |delta| ≥ 1.5 and significant, but only 1.51 standard errors above 1: B.
        QTest::newRow("large but not surely above 1")
            << QList<int>({ 14, 10, 8, 16, 20, 8, 12, 14 }) << -2.469608 << 0.974202 << 5.488099
            << "B";
        // |ΣA − ΣE| = 0.2: no continuity correction.
        QTest::newRow("no correction under a half") << QList<int>({ 10, 10, 10, 10, 2, 1, 1, 1 })
                                                    << -0.167929 << 1.404758 << 0.013679 << "A";
        QTest::newRow("the reference never wrong")
            << QList<int>({ 10, 0, 5, 15, 20, 0, 10, 10 }) << 0.0 << 0.0 << 0.0 << "";
    }
    void difCalculadoAMano()
    {
        QFETCH(QList<int>, estratos);
        QFETCH(double, delta);
        QFETCH(double, errorEstandar);
        QFETCH(double, chi2);
        QFETCH(QString, categoria);
        std::vector<std::array<int, 4>> tablas;
        for (qsizetype i = 0; i + 3 < estratos.size(); i += 4)
            tablas.push_back({ estratos[i], estratos[i + 1], estratos[i + 2], estratos[i + 3] });
        const EstadisticoDif dif = mantelHaenszel(tablas);
        QCOMPARE(dif.delta.has_value(), delta != 0);
        if (dif.delta) {
            QVERIFY(std::fabs(*dif.delta - delta) < 1e-6);
            QVERIFY(std::fabs(*dif.errorEstandar - errorEstandar) < 1e-6);
            QVERIFY(std::fabs(*dif.chi2 - chi2) < 1e-6);
        }
        QCOMPARE(dif.categoria, categoria);
    }

    // Linear equating by hand: the model's scores 2 and 4 (mean 3, deviation 1), the
    // reference's 1, 3 and 5 (mean 3, deviation √(8/3) = 1.632993): e(x) = 3 + 1.632993 (x − 3).
    // A model whose students all scored 5 moves by the means alone: e(x) = x − 5 + 3.
    void equiparacionLinealAMano_data()
    {
        QTest::addColumn<QList<int>>("puntajes");
        QTest::addColumn<QList<double>>("esperado"); // e(0), e(2), e(4)
        QTest::newRow("spread") << QList<int>({ 2, 4 })
                                << QList<double>({ -1.898979, 1.367007, 4.632993 });
        QTest::newRow("all equal") << QList<int>({ 5, 5 }) << QList<double>({ -2, 0, 2 });
    }
    void equiparacionLinealAMano()
    {
        QFETCH(QList<int>, puntajes);
        QFETCH(QList<double>, esperado);
        std::array<int, kPreguntas + 1> modelo {};
        for (int p : puntajes)
            ++modelo[p];
        std::array<qint64, kPreguntas + 1> referencia {};
        for (int p : { 1, 3, 5 })
            ++referencia[p];
        const std::array<double, kPreguntas + 1> e = equipararLineal(modelo, referencia);
        for (int i = 0; i < 3; ++i)
            QVERIFY2(
                std::fabs(e[2 * i] - esperado[i]) < 1e-6, qPrintable(QString::number(e[2 * i])));
    }

    // The best and the worst 27 % in whole students, ⌈27 N / 100⌉: in floating point 0.27 × 900
    // and 0.27 × 1,700 come out a hair above 243 and 459.
    void grupoExtremoEnEnteros_data()
    {
        QTest::addColumn<int>("alumnos");
        QTest::addColumn<int>("grupo");
        QTest::newRow("1") << 1 << 1;
        QTest::newRow("100") << 100 << 27;
        QTest::newRow("900") << 900 << 243;
        QTest::newRow("1700") << 1700 << 459;
        QTest::newRow("1701") << 1701 << 460;
    }
    void grupoExtremoEnEnteros()
    {
        QFETCH(int, alumnos);
        QTEST(int(alumnosDelGrupoExtremo(alumnos)), "grupo");
    }

    void clavesSinEncabezado()
    {
        CeldasHoja celdas;
        celdas[{ 1, 1 }] = Celda::deTexto(QStringLiteral("Materia"));
        const LecturaClaves lectura = interpretarClaves(celdas);
        QVERIFY(lectura.errores.contains(QStringLiteral("B1: se esperaba el título \"Modelo\"")));
        QVERIFY(lectura.errores.contains(QStringLiteral("X1: se esperaba el título \"P22\"")));
        QVERIFY(!lectura.ok());
    }
};

QTEST_GUILESS_MAIN(TstAnalisis)
#include "tst_Analisis.moc"
