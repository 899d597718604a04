// The compiled half of the radcon module: the library entry points of radcon's
// core (app/library), called with the GIL released, their tables handed to
// Python as the bytes --table and --means write, and the command's errors
// raised as Python exceptions. python/radcon/__init__.py is the public side.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "app/library.h"
#include "codon/genetic_code.h"
#include "reports/means_table.h"
#include "reports/profile_table.h"
#include "reports/pairs_table.h"
#include "util/error.h"

namespace py = pybind11;
using namespace radcon;

namespace {

// Owned by the module for the life of the interpreter.
PyObject* gInputError = nullptr;
PyObject* gUsageError = nullptr;

// Names and messages hold whatever bytes the files held: invalid UTF-8 is
// replaced rather than refused.
py::str text(const std::string& s) {
  PyObject* o = PyUnicode_DecodeUTF8(s.data(), static_cast<Py_ssize_t>(s.size()), "replace");
  if (!o) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(o);
}

py::list texts(const std::vector<std::string>& v) {
  py::list l;
  for (const std::string& s : v) l.append(text(s));
  return l;
}

// Between batches of pairs and between genes: a pending KeyboardInterrupt (or
// whatever a signal handler raises) stops the run; the analysis unwinds, its
// threads are joined, and the exception reaches the caller. Python runs signal
// handlers on its main thread only, so only a call from there checks, and at
// most every 20 ms: taking the GIL back can wait for other Python threads.
Checkpoint signalCheck() {
  const py::module_ threading = py::module_::import("threading");
  if (!threading.attr("current_thread")().is(threading.attr("main_thread")())) return {};
  return [next = std::chrono::steady_clock::now()]() mutable {
    const auto now = std::chrono::steady_clock::now();
    if (now < next) return;
    next = now + std::chrono::milliseconds(20);
    py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();
  };
}

py::dict settingsOf(const RunSettings& s) {
  py::dict d;
  d["correction"] = *s.answers.correction;
  if (s.estimateTsTv)
    d["tstv"] = "estimate";
  else
    d["tstv"] = s.answers.tstv->typed;
  d["tstv_parameter"] = s.estimateTsTv ? py::object(py::none()) : py::object(py::float_(s.ratio));
  d["site_model"] = siteModelName(s.siteModel);
  d["kaks"] = *s.answers.KaKsRatio;
  d["grouping"] = text(s.groupingName);
  // Group k's amino acids, in amino-acid index order.
  int groups = 0;
  for (int a = 0; a < kStop; ++a) groups = std::max(groups, s.indexs[static_cast<std::size_t>(a)]);
  std::vector<std::string> letters(static_cast<std::size_t>(groups));
  for (int a = 0; a < kStop; ++a) letters[static_cast<std::size_t>(s.indexs[static_cast<std::size_t>(a)] - 1)] += aminoAcid[a];
  d["groups"] = py::tuple(py::cast(letters));
  d["genetic_code"] = s.code->id;
  d["genetic_code_name"] = s.code->name;
  d["threads"] = s.threads;
  return d;
}

py::dict geneOf(const GeneTables& t) {
  py::dict d;
  d["file"] = text(t.file);
  d["gene"] = text(t.gene);
  d["sequences"] = t.sequences;
  d["codons"] = t.codons;
  d["codons_read"] = t.codonsRead;
  d["tstv"] = t.tstv;
  d["names"] = texts(t.names);
  d["notes"] = texts(t.notes);
  d["error"] = text(t.error);
  return d;
}

std::string header(const std::vector<std::string>& columns) {
  TextBuffer t(1024);
  appendHeader(t, columns);
  return std::string(std::string_view(t));
}

using Source = std::tuple<std::string, std::optional<std::string>, std::string>;  // file, text, gene
using Given = std::optional<std::pair<std::string, std::string>>;                  // text, where

std::optional<GivenText> given(const Given& g) {
  if (!g) return std::nullopt;
  return GivenText{g->first, g->second};
}

// One call: the run's settings, its genes and both tables (header and rows of
// every gene that succeeded, in order).
py::dict analyse(const std::vector<Source>& sources, const std::vector<std::string>& options, const Given& groups,
                 const std::string& groupFolder, const std::string& cladeFile, const Given& clades,
                 const std::string& reference, bool batch, bool raiseErrors) {
  LibraryRequest request{options, given(groups), groupFolder, cladeFile, given(clades), reference};
  std::vector<AlignmentSource> alignments;
  for (const auto& [file, content, gene] : sources) alignments.push_back({file, content, gene});
  LibraryRun run;
  std::vector<GeneTables> genes;
  std::string pairs = header(pairsTableColumns()), means, profile = header(profileTableColumns());
  const Checkpoint checkSignals = signalCheck();
  {
    py::gil_scoped_release released;
    run = prepareLibraryRun(request);
    means = header(meansTableColumns(run.options.bootstrap > 0, run.options.jackknife > 0, run.options.expectedRatio));
    if (batch) {
      genes = analyseSources(run, alignments, raiseErrors, checkSignals);
    } else {
      for (const AlignmentSource& a : alignments) genes.push_back(analyseSource(run, a, run.settings.threads, checkSignals));
    }
    for (const GeneTables& t : genes) pairs += t.pairs, means += t.means, profile += t.profile;
  }
  py::dict out;
  out["settings"] = settingsOf(run.settings);
  py::list list;
  for (const GeneTables& t : genes) list.append(geneOf(t));
  out["genes"] = list;
  out["pairs"] = py::bytes(pairs);
  out["means"] = py::bytes(means);
  out["profile"] = py::bytes(profile);
  return out;
}

}  // namespace

PYBIND11_MODULE(_radcon, m) {
  m.doc() = "radcon's core: use the radcon package, not this module.";
  m.attr("__version__") = RADCON_VERSION;
  gInputError = PyErr_NewExceptionWithDoc(
      "radcon.RadconError",
      "radcon refused the input: a missing or malformed alignment, group or clade file, an answer out of range, "
      "too little memory. The message is the command's.",
      PyExc_ValueError, nullptr);
  gUsageError = PyErr_NewExceptionWithDoc(
      "radcon.UsageError",
      "A call radcon cannot run as given, as the command refuses a command line (an option value of the wrong "
      "kind, genes that cannot be told apart). The message is the command's and names its options.",
      gInputError, nullptr);
  if (!gInputError || !gUsageError) throw py::error_already_set();
  m.add_object("RadconError", py::handle(gInputError));
  m.add_object("UsageError", py::handle(gUsageError));
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const RunError& e) {
      PyErr_SetObject(e.kind() == RunError::kUsage ? gUsageError : gInputError, text(e.what()).ptr());
    } catch (const UntranslatableCodon& e) {
      PyErr_SetObject(gInputError, text(e.what()).ptr());
    }
  });
  m.def("analyse", &analyse, py::arg("sources"), py::arg("options"), py::arg("groups"), py::arg("group_folder"),
        py::arg("clade_file"), py::arg("clades"), py::arg("reference"), py::arg("batch"), py::arg("raise_errors"),
        "Analyses (file, text, gene) sources with command-line options; see radcon.analyse.");
}
