// Validates a CycloneDX 1.6 JSON document against the schemas bundled with the CycloneDX library
// (no network): prints the schema's complaints and exits 1 when it does not conform.
//   node validate.cjs FILE
const fs = require('fs')
const { Validation } = require('@cyclonedx/cyclonedx-library')

// The strict JSON schema of CycloneDX 1.6, the version the release's bill of materials declares.
const validator = new Validation.JsonStrictValidator('1.6')
validator.validate(fs.readFileSync(process.argv[2], 'utf8')).then(
  errors => {
    if (errors) {
      console.error(JSON.stringify(errors, null, 1))
      process.exit(1)
    }
  },
  failure => {
    console.error(String(failure))
    process.exit(2)
  })
