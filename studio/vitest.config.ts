import { defineConfig, mergeConfig } from 'vitest/config';
import base from './vite.config';

export default defineConfig((env) => mergeConfig(base(env), { test: { include: ['tests/unit/**/*.test.ts'] } }));
