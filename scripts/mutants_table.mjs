#!/usr/bin/env node
// Prints the mutants killed of those that compiled to new code, per source
// file, from the runs of ../shared/tools/mutants.py --json kept in
// bench/mutants (one column a run, named by its file or folder). A table of what was
// measured, not a test: the runs take hours on two cores.
//
// Then, for each run whose survivors are judged, why each one survived.
//
// Usage: scripts/mutants_table.mjs   (make mutants)
import { readdirSync, readFileSync } from "node:fs";
import { dirname, join } from "node:path";

const folder = join(dirname(new URL(import.meta.url).pathname), "..", "bench", "mutants");
// A run is a JSON file of the folder, or a subfolder whose files (runs over
// some files each) make one run together.
const order = (name) => name.replace("before", "0").replace("after", "1");
const read = (path) => JSON.parse(readFileSync(path, "utf8"));
const runs = readdirSync(folder, { withFileTypes: true })
  .filter((entry) => entry.isDirectory() || entry.name.endsWith(".json"))
  .map((entry) => {
    const name = entry.name.replace(/\.json$/, "");
    if (!entry.isDirectory()) return { name, ...read(join(folder, entry.name)) };
    const parts = readdirSync(join(folder, name))
      .filter((part) => part.endsWith(".json"))
      .map((part) => read(join(folder, name, part)));
    return {
      name,
      seed: [...new Set(parts.map((part) => part.seed))].join(","),
      sample: parts.every((part) => !part.sample) ? 0 : "some",
      files: parts.flatMap((part) => part.files),
      mutants: parts.flatMap((part) => part.mutants),
    };
  })
  // Each "before" ahead of its "after".
  .sort((a, b) => order(a.name).localeCompare(order(b.name)));

// file -> run -> [killed, viable]
const table = new Map();
for (const run of runs) {
  for (const mutant of run.mutants) {
    if (mutant.fate !== "killed" && mutant.fate !== "survived") continue;
    const byRun = table.get(mutant.file) ?? new Map();
    const [killed, viable] = byRun.get(run.name) ?? [0, 0];
    byRun.set(run.name, [killed + (mutant.fate === "killed"), viable + 1]);
    table.set(mutant.file, byRun);
  }
}
const cell = (count) => (count ? `${count[0]}/${count[1]} ${Math.round((100 * count[0]) / count[1])}%` : "-");
const total = (run) =>
  [...table.values()].reduce(([k, v], byRun) => {
    const [a, b] = byRun.get(run) ?? [0, 0];
    return [k + a, v + b];
  }, [0, 0]);
const width = Math.max(10, ...runs.map((run) => run.name.length)) + 2;
console.log("killed/viable".padEnd(32) + runs.map((run) => run.name.padStart(width)).join(""));
for (const file of [...table.keys()].sort()) {
  console.log(file.padEnd(32) + runs.map((run) => cell(table.get(file).get(run.name)).padStart(width)).join(""));
}
console.log("all".padEnd(32) + runs.map((run) => cell(total(run.name)).padStart(width)).join(""));
for (const run of runs) {
  const mutated = [...new Set(run.mutants.map((mutant) => mutant.file))];
  console.log(`${run.name}: ${run.mutants.length} mutants, seed ${run.seed}, sample ${run.sample || "all"}, of ${mutated.join(" ")}`);
}

// Each survivor of a run and why it survived: "equivalent" (the same
// behaviour by another path, or speed and memory only) or "killed since"
// (a row added after the run, checked by putting the mutant back by hand),
// from bench/mutants/survivors.tsv: run, file:line, from, to, verdict, why.
const verdicts = new Map(readFileSync(join(folder, "survivors.tsv"), "utf8").split("\n")
  .filter((line) => line && !line.startsWith("#"))
  .map((line) => line.split("\t"))
  .map(([run, at, from, to, verdict, why]) => [`${run} ${at} ${from} ${to}`, { verdict, why }]));
for (const run of runs) {
  const survivors = run.mutants.filter((mutant) => mutant.fate === "survived");
  const judged = survivors.map((m) => ({ m, ...verdicts.get(`${run.name} ${m.file}:${m.line} ${m.from} ${m.to}`) }));
  if (!judged.some((survivor) => survivor.verdict)) continue;
  const count = (verdict) => judged.filter((survivor) => survivor.verdict === verdict).length;
  const killed = run.mutants.filter((mutant) => mutant.fate === "killed").length;
  const viable = killed + survivors.length;
  console.log(`\n${run.name}: ${survivors.length} survivors, ${count("equivalent")} equivalent, ` +
    `${count("killed since")} killed since (${Math.round((100 * (killed + count("killed since"))) / viable)}% killed now), ` +
    `${judged.filter((survivor) => !survivor.verdict).length} not judged`);
  for (const { m, verdict = "NOT JUDGED", why = "" } of judged) {
    console.log(`  ${m.file}:${m.line} '${m.from}' -> '${m.to}': ${verdict}${why && `: ${why}`}`);
  }
}
