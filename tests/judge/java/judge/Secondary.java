package judge;

import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;

/** Forwarded starts: main keeps running until secondaryMain has been called (or 20 s pass). */
final class Secondary {
    static final CountDownLatch called = new CountDownLatch(1);

    static void waitInMain() throws InterruptedException {
        System.out.println("main waiting");
        System.out.println(called.await(20, TimeUnit.SECONDS) ? "main saw secondaryMain" : "main timed out");
    }

    static void record(String form, String[] args) {
        System.out.println("secondaryMain " + form + " on " + Thread.currentThread().getName() + " ["
                + String.join("|", args) + "]");
        called.countDown();
    }
}

final class SecondaryVoid {
    public static void main(String[] args) throws InterruptedException { Secondary.waitInMain(); }

    public static void secondaryMain(String[] args) { Secondary.record("void", args); }
}

final class SecondaryInt {
    public static void main(String[] args) throws InterruptedException { Secondary.waitInMain(); }

    public static int secondaryMain(String[] args) {
        Secondary.record("int", args);
        return 7;
    }
}
