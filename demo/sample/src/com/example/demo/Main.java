package com.example.demo;

/** The sample application: greets, lists its arguments and says where System.out goes. */
public final class Main {
    public static void main(String[] args) {
        System.out.println(System.getProperty("sample.greeting", "Hello"));
        for (int i = 0; i < args.length; i++) {
            System.out.println("argument " + i + ": " + args[i]);
        }
        System.out.println("running on Java " + System.getProperty("java.version"));
    }
}
