// ESLint for the web site's scripts: run from the repository's root with this file as its
// --config (scripts/analyse.sh), so that the paths it names are the root's.
import js from '@eslint/js';
import globals from 'globals';

export default [
  js.configs.recommended,
  {
    languageOptions: {
      ecmaVersion: 'latest',
      sourceType: 'module',
      globals: globals.browser,
    },
    linterOptions: { reportUnusedDisableDirectives: 'error' },
    rules: {
      eqeqeq: 'error',
      'no-var': 'error',
      'prefer-const': 'error',
    },
  },
  {
    files: ['src/web/site/table-worker.js'],
    languageOptions: { globals: globals.worker },
  },
  {
    files: ['src/web/site/sw.js'],
    languageOptions: { sourceType: 'script', globals: globals.serviceworker },
  },
  {
    files: ['tests/web/eslint.config.js'],
    languageOptions: { globals: globals.node },
  },
];
