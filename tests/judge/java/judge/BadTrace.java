package judge;

import java.io.PrintStream;

/** An exception whose printStackTrace writes part of its text and then throws. */
public final class BadTrace {
    static final class Broken extends RuntimeException {
        Broken() {
            super("broken trace");
        }

        @Override
        public void printStackTrace(PrintStream s) {
            s.println("partial trace line");
            throw new UnsupportedOperationException("printStackTrace failed");
        }
    }

    public static void main(String[] args) {
        throw new Broken();
    }
}
